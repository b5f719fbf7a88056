// The engine's entry points: options and one whole conversion.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "detect.h"

namespace nkf {

struct Options {
  std::optional<Code> input;      // none: detected from the text
  Code output = Code::kShiftJis;  // one of the four codes, never UTF-16

  bool operator==(const Options&) const = default;
};

// Parses an option string: "S", "J", "E", "W" name the input code, "s", "j", "e", "w" the output
// code; a later letter of a kind replaces an earlier one. Nothing when a character is not one of
// these letters.
std::optional<Options> ParseOptions(std::string_view letters);

// Converts all of in, writing at most capacity bytes to out (which may be null when capacity is
// 0). Returns the length of the whole output, whether or not it fitted: when the result exceeds
// capacity, out holds its first capacity bytes. The output is never longer than
// MaxOutput(in_size).
std::size_t Convert(const Options& options, const unsigned char* in, std::size_t in_size,
                    unsigned char* out, std::size_t capacity);

// An upper bound for the output of any conversion of in_size bytes.
constexpr std::size_t MaxOutput(std::size_t in_size) {
  return in_size == 0 ? 0 : 5 * in_size + 3;
}

// Convenience for tests and tools: the whole output as a string.
std::string Convert(const Options& options, std::string_view in);

}  // namespace nkf
