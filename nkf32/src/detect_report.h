#pragma once

#include <cstddef>
#include <cstdint>

#include "detect.h"

namespace nkf {

// How DetectCode reached its answer, for tests and benchmarks.
struct DetectReport {
  // The readings the statistical score compares, in this order.
  enum Reading { kReadUtf8, kReadShiftJis, kReadEucJp, kReadingCount };

  Code code = Code::kShiftJis;
  // Why: a byte-order mark, ISO-2022-JP escapes in 7-bit text, no byte above 0x7F at all
  // (pure ASCII: every code reads it alike), or the score of the three readings.
  enum Basis { kBom, kEscapes, kAscii, kScore } basis = kAscii;
  // The score stopped before the end because one reading was far ahead.
  bool decided_early = false;
  // Bytes looked at before the decision.
  std::size_t examined = 0;
  // Per reading: the cost of the text read that way, in eighths of a bit, invalid sequences
  // included; and how many invalid sequences it met.
  std::int64_t cost[kReadingCount] = {};
  std::int64_t errors[kReadingCount] = {};
};

DetectReport DetectCodeReport(const unsigned char* data, std::size_t size);

// DetectCode's answer for input whose first ascii_prefix bytes the caller has already found to
// be ASCII other than ESC (0x1B), without reading them again. A converter that copies its
// ASCII start while scanning it can detect from the first other byte on, so that ASCII is
// read once and not twice.
Code DetectCodeAfterAscii(const unsigned char* data, std::size_t size, std::size_t ascii_prefix);

// The cost, in eighths of a bit, of one invalid byte sequence in a reading.
inline constexpr std::int64_t kDetectErrorCost = 40 * 8;

}  // namespace nkf
