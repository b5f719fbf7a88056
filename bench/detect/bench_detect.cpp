// How often the input's code is detected right, and how often converting with the detected
// code gives back the text, per length bucket and true code, for our detector and for every
// detector that runs here, all on the same samples in the same run. Then what detection adds
// to the time of a conversion.
//
//   bench_detect SAMPLES [--ours-only] [--no-chardet] [--no-speed]
//
// SAMPLES is written by make_samples.py (run.sh does both). Python's chardet and Perl's
// Encode::Guess run as child processes over the same file.

#include <uchardet/uchardet.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "detect.h"
#include "detect_report.h"
#include "nkf32.h"

namespace {

constexpr const char* kCodeNames[] = {"sjis", "sjis-hwkana", "jis", "euc", "utf8"};
constexpr nkf::Code kTrueCode[] = {nkf::Code::kShiftJis, nkf::Code::kShiftJis, nkf::Code::kJis,
                                   nkf::Code::kEucJp, nkf::Code::kUtf8};
constexpr int kCodeCount = 5;

struct Sample {
  int code;
  std::uint32_t bucket;
  std::string bytes;
  std::string text;  // UTF-8
};

std::uint32_t ReadU32(std::ifstream& in) {
  unsigned char b[4];
  in.read(reinterpret_cast<char*>(b), 4);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::vector<Sample> ReadSamples(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error(std::string("cannot open ") + path);
  }
  std::vector<Sample> samples;
  while (true) {
    const int code = in.get();
    if (code == EOF) {
      break;
    }
    Sample s;
    s.code = code;
    s.bucket = ReadU32(in);
    s.bytes.resize(ReadU32(in));
    in.read(s.bytes.data(), static_cast<std::streamsize>(s.bytes.size()));
    s.text.resize(ReadU32(in));
    in.read(s.text.data(), static_cast<std::streamsize>(s.text.size()));
    if (!in || code >= kCodeCount) {
      throw std::runtime_error("malformed samples file");
    }
    samples.push_back(std::move(s));
  }
  return samples;
}

// A detector's answer as one of our codes, when it is one.
std::optional<nkf::Code> CodeOfName(std::string name) {
  for (char& c : name) {
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  static const std::map<std::string, nkf::Code> kNames = {
      {"SHIFT_JIS", nkf::Code::kShiftJis},   {"SHIFTJIS", nkf::Code::kShiftJis},
      {"SJIS", nkf::Code::kShiftJis},        {"CP932", nkf::Code::kShiftJis},
      {"WINDOWS-31J", nkf::Code::kShiftJis}, {"MS932", nkf::Code::kShiftJis},
      {"EUC-JP", nkf::Code::kEucJp},         {"EUCJP", nkf::Code::kEucJp},
      {"ISO-2022-JP", nkf::Code::kJis},      {"7BIT-JIS", nkf::Code::kJis},
      {"UTF-8", nkf::Code::kUtf8},           {"UTF8", nkf::Code::kUtf8},
      {"UTF-8-SIG", nkf::Code::kUtf8},       {"UTF-8-STRICT", nkf::Code::kUtf8},
  };
  const auto it = kNames.find(name);
  if (it == kNames.end()) {
    return std::nullopt;
  }
  return it->second;
}

// Our component converting to UTF-8 with the given options.
std::string ConvertToUtf8(const char* options, const std::string& in) {
  SetNkfOption(options);
  std::string out(in.size() * 3 + 16, '\0');
  std::size_t written = 0;
  if (NkfConvertBounded(out.data(), out.size(), &written, in.data(), in.size()) != 0) {
    out.resize(written);
    NkfConvertBounded(out.data(), out.size(), &written, in.data(), in.size());
  }
  out.resize(written);
  return out;
}

const char* InputLetter(nkf::Code code) {
  switch (code) {
    case nkf::Code::kShiftJis:
      return "Sw";
    case nkf::Code::kJis:
      return "Jw";
    case nkf::Code::kEucJp:
      return "Ew";
    default:
      return "Ww";
  }
}

struct Peer {
  std::string name;
  std::vector<std::string> answers;
};

std::vector<std::string> RunChild(const std::string& command, std::size_t expected) {
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    throw std::runtime_error("cannot start " + command);
  }
  char line[256];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) {
      s.pop_back();
    }
    lines.push_back(s);
  }
  if (pclose(pipe) != 0 || lines.size() != expected) {
    throw std::runtime_error(command + " failed");
  }
  return lines;
}

std::string Uchardet(uchardet_t u, const std::string& bytes) {
  uchardet_reset(u);
  uchardet_handle_data(u, bytes.data(), bytes.size());
  uchardet_data_end(u);
  const char* name = uchardet_get_charset(u);
  return name != nullptr && *name != '\0' ? name : "none";
}

std::string Icu(UCharsetDetector* d, const std::string& bytes) {
  UErrorCode status = U_ZERO_ERROR;
  ucsdet_setText(d, bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  const UCharsetMatch* m = ucsdet_detect(d, &status);
  if (U_FAILURE(status) || m == nullptr) {
    return "none";
  }
  const char* name = ucsdet_getName(m, &status);
  return U_SUCCESS(status) && name != nullptr ? name : "none";
}

struct Tally {
  int total = 0, right = 0, round_trip = 0;
};

double Percent(int n, int total) {
  return total == 0 ? 0.0 : 100.0 * n / total;
}

// CPU time of this thread: the machine is shared, and wall time counts the others' turns.
double ThreadSeconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

template <class F>
double SecondsPerRun(F&& f, int repeat) {
  f();  // warm
  const double start = ThreadSeconds();
  for (int i = 0; i < repeat; ++i) {
    f();
  }
  return (ThreadSeconds() - start) / repeat;
}

volatile int sink;
void Sink(nkf::Code c) {
  sink = static_cast<int>(c);
}

// The time of conversions with and without detection of the same inputs, per size, and of
// detection alone against the conversion with the code given; and how far detection read.
void Speed(const std::vector<Sample>& samples) {
  std::printf(
      "\nDetection overhead: conversion to UTF-8 of the same inputs with the input code\n"
      "given (\"Sw\", \"Ew\", \"Ww\") and detected (\"w\"), and DetectCode alone; thread CPU time, "
      "best of 7.\n");
  std::printf("%-24s %10s %10s %9s %10s %8s %9s\n", "input", "given ns", "w ns", "w/given",
              "detect ns", "/given", "examined");
  std::string big_sjis, big_euc, big_utf8;
  for (const Sample& s : samples) {
    if (s.bucket != 8192) {
      continue;
    }
    std::string& to = s.code == 0   ? big_sjis
                      : s.code == 3 ? big_euc
                      : s.code == 4 ? big_utf8
                                    : big_sjis;
    if (s.code == 0 || s.code == 3 || s.code == 4) {
      to += s.bytes;
    }
  }
  struct Input {
    std::string name;
    std::string bytes;
    const char* given;
  };
  std::vector<Input> inputs;
  for (const std::size_t size : {256u, 8192u, 1u << 20}) {
    inputs.push_back({"sjis " + std::to_string(size), big_sjis.substr(0, size), "Sw"});
    inputs.push_back({"euc " + std::to_string(size), big_euc.substr(0, size), "Ew"});
    inputs.push_back({"utf8 " + std::to_string(size), big_utf8.substr(0, size), "Ww"});
  }
  std::string ascii_then_sjis(1u << 20, 'a');
  for (std::size_t i = 79; i < ascii_then_sjis.size(); i += 80) {
    ascii_then_sjis[i] = '\n';
  }
  ascii_then_sjis += big_sjis.substr(0, 4096);
  inputs.push_back({"1 MiB ASCII, then sjis", ascii_then_sjis, "Sw"});
  for (const Input& in : inputs) {
    const int repeat = static_cast<int>(std::max<std::size_t>(3, (8u << 20) / in.bytes.size()));
    const auto* p = reinterpret_cast<const unsigned char*>(in.bytes.data());
    double given = 1e9, detected = 1e9, detect_alone = 1e9;
    for (int round = 0; round < 7; ++round) {
      given = std::min(given, SecondsPerRun([&] { ConvertToUtf8(in.given, in.bytes); }, repeat));
      detected = std::min(detected, SecondsPerRun([&] { ConvertToUtf8("w", in.bytes); }, repeat));
      detect_alone = std::min(
          detect_alone, SecondsPerRun([&] { Sink(nkf::DetectCode(p, in.bytes.size())); }, repeat));
    }
    const nkf::DetectReport r = nkf::DetectCodeReport(p, in.bytes.size());
    std::printf("%-24s %10.0f %10.0f %+8.1f%% %10.0f %7.1f%% %9zu\n", in.name.c_str(), given * 1e9,
                detected * 1e9, 100.0 * (detected / given - 1.0), detect_alone * 1e9,
                100.0 * detect_alone / given, r.examined);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_detect SAMPLES [--ours-only] [--no-chardet] [--no-speed]\n");
    return 2;
  }
  bool ours_only = false, chardet = true, speed = true;
  for (int i = 2; i < argc; ++i) {
    ours_only |= std::strcmp(argv[i], "--ours-only") == 0;
    chardet &= std::strcmp(argv[i], "--no-chardet") != 0;
    speed &= std::strcmp(argv[i], "--no-speed") != 0;
  }
  try {
    const std::vector<Sample> samples = ReadSamples(argv[1]);
    std::vector<Peer> peers;
    peers.push_back({"Quillora", {}});
    for (const Sample& s : samples) {
      const auto* p = reinterpret_cast<const unsigned char*>(s.bytes.data());
      const nkf::Code c = nkf::DetectCode(p, s.bytes.size());
      constexpr const char* kOur[] = {"SJIS",  "ISO-2022-JP", "EUC-JP",
                                      "UTF-8", "UTF-16LE",    "UTF-16BE"};
      peers[0].answers.push_back(kOur[static_cast<int>(c)]);
    }
    if (!ours_only) {
      Peer u{"uchardet", {}};
      uchardet_t ud = uchardet_new();
      for (const Sample& s : samples) {
        u.answers.push_back(Uchardet(ud, s.bytes));
      }
      uchardet_delete(ud);
      peers.push_back(std::move(u));

      Peer icu{"ICU", {}};
      UErrorCode status = U_ZERO_ERROR;
      UCharsetDetector* d = ucsdet_open(&status);
      for (const Sample& s : samples) {
        icu.answers.push_back(Icu(d, s.bytes));
      }
      ucsdet_close(d);
      peers.push_back(std::move(icu));

      const std::string dir = QUILLORA_BENCH_DETECT_DIR;
      if (chardet) {  // by far the slowest: minutes for a thousand samples a bucket and code
        peers.push_back(
            {"chardet",
             RunChild("/usr/bin/python3 " + dir + "/peer_chardet.py " + argv[1], samples.size())});
      }
      peers.push_back(
          {"Encode::Guess", RunChild("perl " + dir + "/peer_guess.pl " + argv[1], samples.size())});
    }

    // bucket -> code -> peer
    std::map<std::uint32_t, std::array<std::vector<Tally>, kCodeCount>> table;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const Sample& s = samples[i];
      auto& row = table[s.bucket][s.code];
      row.resize(peers.size());
      for (std::size_t p = 0; p < peers.size(); ++p) {
        Tally& t = row[p];
        ++t.total;
        const std::optional<nkf::Code> c = CodeOfName(peers[p].answers[i]);
        t.right += c && *c == kTrueCode[s.code];
        // Ours converts with detection inside the component, as the program asks for it.
        const char* options = p == 0 ? "w" : (c ? InputLetter(*c) : nullptr);
        t.round_trip += options != nullptr && ConvertToUtf8(options, s.bytes) == s.text;
      }
    }

    std::printf(
        "Per bucket (bytes) and true code: %% detected right / %% converted back exactly.\n");
    std::printf("%6s %-12s %6s", "bytes", "code", "n");
    for (const Peer& p : peers) {
      std::printf(" %17s", p.name.c_str());
    }
    std::printf("\n");
    for (const auto& [bucket, codes] : table) {
      std::vector<Tally> all(peers.size());
      for (int c = 0; c < kCodeCount; ++c) {
        if (codes[c].empty()) {
          continue;
        }
        std::printf("%6u %-12s %6d", bucket, kCodeNames[c], codes[c][0].total);
        for (std::size_t p = 0; p < peers.size(); ++p) {
          const Tally& t = codes[c][p];
          std::printf("  %6.2f / %6.2f", Percent(t.right, t.total), Percent(t.round_trip, t.total));
          all[p].total += t.total;
          all[p].right += t.right;
          all[p].round_trip += t.round_trip;
        }
        std::printf("\n");
      }
      std::printf("%6u %-12s %6d", bucket, "all", all[0].total);
      for (const Tally& t : all) {
        std::printf("  %6.2f / %6.2f", Percent(t.right, t.total), Percent(t.round_trip, t.total));
      }
      std::printf("\n");
    }
    if (speed) {
      Speed(samples);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_detect: %s\n", e.what());
    return 1;
  }
  return 0;
}
