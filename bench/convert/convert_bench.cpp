// Throughput of the conversion component against glibc iconv, ICU and Python's codecs, on the
// same sample bytes in the same run, and of pure ASCII input against memcpy.
//
// Usage: bench_convert SAMPLE_DIR [--reps N] [--no-python]
//        bench_convert SAMPLE_DIR --profile FROM:TO [--detect] [--ascii] [--reps N]
// SAMPLE_DIR is what make_sample.py writes. --profile runs only the component on one pair
// (sjis:utf8, jis:sjis, ...), without the source letter with --detect, on the ASCII sample
// with --ascii: for a profiler. Every figure is the median of N whole conversions of the
// sample, timed in processor time of the converting thread; the converters take turns within
// each repetition, so what other processes leave in the caches hurts them alike. Setting up a
// converter (iconv_open, ucnv_open, the output buffer) is outside the timed region; the component's
// SetNkfOption is inside it, as it is in the program.

#include <iconv.h>
#include <unicode/ucnv.h>

#include <time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "nkf32.h"

namespace {

struct Code {
  const char* suffix;  // of the sample file, as python_peer.py knows it
  const char* label;
  char input_letter;
  char output_letter;
  const char* iconv_name;
  const char* icu_name;
};

constexpr Code kSjis{"sjis", "SJIS", 'S', 's', "CP932", "windows-31j"};
constexpr Code kEuc{"euc", "EUC", 'E', 'e', "EUC-JP", "EUC-JP"};
constexpr Code kJis{"jis", "JIS", 'J', 'j', "ISO-2022-JP", "ISO-2022-JP"};
constexpr Code kUtf8{"utf8", "UTF-8", 'W', 'w', "UTF-8", "UTF-8"};

struct Pair {
  const Code& from;
  const Code& to;
};

const std::array<Pair, 8> kPairs{{{kSjis, kUtf8},
                                  {kUtf8, kSjis},
                                  {kEuc, kSjis},
                                  {kSjis, kEuc},
                                  {kJis, kSjis},
                                  {kSjis, kJis},
                                  {kEuc, kUtf8},
                                  {kUtf8, kEuc}}};

// The bar every pair must clear against the fastest peer, and the detector's budget.
constexpr double kPeerBar = 1.5;
constexpr double kDetectBudget = 0.10;
constexpr double kMemcpyBar = 0.5;

// Time on the processor of the converting thread, not on the wall: on a shared machine the
// other processes' turns would otherwise land in the figures at random.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One converter: converts the input into the output buffer and returns the output length, or
// throws with the converter's complaint.
using Converter = std::function<size_t(std::string_view in, std::vector<char>& out)>;

struct Candidate {
  std::string name;
  Converter convert;
  std::vector<double> seconds;
  std::string output;  // of the first run, to compare
  std::string error;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error("cannot read " + path + " (run make_sample.py first)");
  }
  return std::string(std::istreambuf_iterator<char>(file), {});
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

Converter Ours(std::string options) {
  return [options = std::move(options)](std::string_view in, std::vector<char>& out) {
    if (SetNkfOption(options.c_str()) != 0) {
      throw std::runtime_error("SetNkfOption refused \"" + options + "\"");
    }
    size_t written = 0;
    if (NkfConvertBounded(out.data(), out.size(), &written, in.data(), in.size()) != 0) {
      throw std::runtime_error("NkfConvertBounded asked for " + std::to_string(written) + " bytes");
    }
    return written;
  };
}

class Iconv {
 public:
  Iconv(const char* from, const char* to) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to);
    }
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  size_t operator()(std::string_view in, std::vector<char>& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    // iconv's prototype takes char** for the input although it only reads it.
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char* dst = out.data();
    size_t dst_left = out.size();
    if (iconv(cd_, &src, &src_left, &dst, &dst_left) == static_cast<size_t>(-1) ||
        iconv(cd_, nullptr, nullptr, &dst, &dst_left) == static_cast<size_t>(-1)) {
      throw std::runtime_error(std::string("iconv stopped at byte ") +
                               std::to_string(in.size() - src_left) + ": " + std::strerror(errno));
    }
    return out.size() - dst_left;
  }

 private:
  iconv_t cd_;
};

class Icu {
 public:
  Icu(const char* from, const char* to) {
    UErrorCode status = U_ZERO_ERROR;
    from_ = ucnv_open(from, &status);
    to_ = ucnv_open(to, &status);
    // Stop at the first unmappable or invalid sequence instead of substituting silently, so a
    // peer that did not really convert the text cannot win.
    ucnv_setToUCallBack(from_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(to_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) {
      Close();
      throw std::runtime_error(std::string("ucnv_open ") + from + " -> " + to + ": " +
                               u_errorName(status));
    }
  }
  ~Icu() { Close(); }
  Icu(const Icu&) = delete;
  Icu& operator=(const Icu&) = delete;

  size_t operator()(std::string_view in, std::vector<char>& out) {
    UErrorCode status = U_ZERO_ERROR;
    char* target = out.data();
    const char* source = in.data();
    UChar* pivot_source = pivot_.data();
    UChar* pivot_target = pivot_.data();
    ucnv_convertEx(to_, from_, &target, out.data() + out.size(), &source, in.data() + in.size(),
                   pivot_.data(), &pivot_source, &pivot_target, pivot_.data() + pivot_.size(), true,
                   true, &status);
    if (U_FAILURE(status)) {
      throw std::runtime_error(std::string("ucnv_convertEx stopped at byte ") +
                               std::to_string(source - in.data()) + ": " + u_errorName(status));
    }
    return static_cast<size_t>(target - out.data());
  }

 private:
  void Close() {
    if (from_ != nullptr) {
      ucnv_close(from_);
    }
    if (to_ != nullptr) {
      ucnv_close(to_);
    }
  }
  UConverter* from_ = nullptr;
  UConverter* to_ = nullptr;
  std::array<UChar, 16384> pivot_{};
};

// Runs every candidate once per repetition, in turn, and keeps its times and first output. The
// turn starts one candidate later in each repetition, so none is always the one that runs right
// after a peer has filled the caches with its tables.
void Measure(std::vector<Candidate>& candidates, std::string_view in, std::vector<char>& out,
             int reps) {
  for (int r = 0; r < reps; ++r) {
    for (size_t k = 0; k < candidates.size(); ++k) {
      Candidate& c = candidates[(r + k) % candidates.size()];
      if (!c.error.empty()) {
        continue;
      }
      try {
        const double start = ThreadSeconds();
        const size_t n = c.convert(in, out);
        c.seconds.push_back(ThreadSeconds() - start);
        if (c.seconds.size() == 1) {
          c.output.assign(out.data(), n);
        }
      } catch (const std::exception& e) {
        c.error = e.what();
      }
    }
  }
}

double MBps(size_t bytes, const Candidate& c) {
  return c.error.empty() ? static_cast<double>(bytes) / 1e6 / Median(c.seconds) : 0;
}

struct PythonResult {
  double seconds = 0;
  std::string error;
};

// Python times itself in a subprocess, on the same files, before the other converters run, so
// neither disturbs the other.
std::map<std::string, PythonResult> RunPython(const std::string& sample_dir, int reps) {
  std::string command =
      "/usr/bin/python3 '" QUILLORA_PYTHON_PEER "' '" + sample_dir + "' " + std::to_string(reps);
  for (const Pair& p : kPairs) {
    command += std::string(" ") + p.from.suffix + ":" + p.to.suffix;
  }
  std::map<std::string, PythonResult> results;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return results;
  }
  std::array<char, 4096> line{};
  while (std::fgets(line.data(), line.size(), pipe) != nullptr) {
    std::istringstream fields(line.data());
    std::string pair, value;
    fields >> pair >> value;
    PythonResult& r = results[pair];
    if (value == "error") {
      std::getline(fields, r.error);
      r.error = "error:" + r.error;
    } else {
      r.seconds = std::strtod(value.c_str(), nullptr);
    }
  }
  if (pclose(pipe) != 0) {
    std::fprintf(stderr, "python peer failed: %s\n", command.c_str());
  }
  return results;
}

std::string Options(std::optional<char> in, char out) {
  std::string s;
  if (in) {
    s += *in;
  }
  s += out;
  return s;
}

int Run(const std::string& dir, int reps, bool python) {
  std::map<std::string, std::string> samples;
  for (const Code* c : {&kSjis, &kEuc, &kJis, &kUtf8}) {
    samples[c->suffix] = ReadFile(dir + "/sample." + c->suffix);
  }
  const std::string ascii = ReadFile(dir + "/ascii.txt");
  size_t largest = ascii.size();
  for (const auto& [suffix, bytes] : samples) {
    largest = std::max(largest, bytes.size());
  }
  // The component never grows a text more than eightfold; touching the buffer once keeps page
  // faults out of the timed runs.
  std::vector<char> out(8 * largest + 16, 1);

  std::printf("Conversion throughput, MB/s of input (1 MB = 10^6 bytes), median of %d runs\n",
              reps);
  std::printf("Sample: %s (SJIS %.2f MB, EUC %.2f MB, JIS %.2f MB, UTF-8 %.2f MB)\n", dir.c_str(),
              samples["sjis"].size() / 1e6, samples["euc"].size() / 1e6,
              samples["jis"].size() / 1e6, samples["utf8"].size() / 1e6);
  std::printf("Component: %s\n", GetNkfVersion());
  // The figures depend on what else the machine is doing; say how busy it was.
  std::printf("Load average: %s\n", ReadFile("/proc/loadavg").c_str());

  std::map<std::string, PythonResult> py;
  if (python) {
    py = RunPython(dir, reps);
  }

  std::printf("%-12s %8s %8s %7s %8s %8s %8s  %-6s %7s %-5s  %s\n", "pair", "ours", "detect",
              "cost", "iconv", "ICU", "Python", "best", "ratio", "bar", "expected output from");
  std::vector<std::string> problems;
  for (const Pair& p : kPairs) {
    const std::string& in = samples[p.from.suffix];
    const std::string label = std::string(p.from.label) + "->" + p.to.label;
    Iconv ic(p.from.iconv_name, p.to.iconv_name);
    Icu icu(p.from.icu_name, p.to.icu_name);
    std::vector<Candidate> c;
    c.push_back({"ours", Ours(Options(p.from.input_letter, p.to.output_letter)), {}, {}, {}});
    c.push_back({"detect", Ours(Options(std::nullopt, p.to.output_letter)), {}, {}, {}});
    c.push_back({"iconv", std::ref(ic), {}, {}, {}});
    c.push_back({"ICU", std::ref(icu), {}, {}, {}});
    Measure(c, in, out, reps);

    const double ours = MBps(in.size(), c[0]);
    const double detect = MBps(in.size(), c[1]);
    const double via_iconv = MBps(in.size(), c[2]);
    const double via_icu = MBps(in.size(), c[3]);
    const std::string key = std::string(p.from.suffix) + ":" + p.to.suffix;
    const PythonResult pr = py.count(key) ? py[key] : PythonResult{0, "not run"};
    const double via_python = pr.error.empty() && pr.seconds > 0 ? in.size() / 1e6 / pr.seconds : 0;

    std::string best = "iconv";
    double best_mbps = via_iconv;
    if (via_icu > best_mbps) {
      best = "ICU", best_mbps = via_icu;
    }
    if (via_python > best_mbps) {
      best = "Python", best_mbps = via_python;
    }
    const double ratio = best_mbps > 0 ? ours / best_mbps : 0;

    // Every peer writes the target code's sample byte for byte (make_sample.py keeps only text
    // on which the codes agree), so that sample is the expected output of every converter.
    const std::string& expected = samples[p.to.suffix];
    std::string matches;
    for (const Candidate& k : c) {
      if (k.error.empty() && k.output == expected) {
        matches += k.name + " ";
      } else if (k.error.empty()) {
        problems.push_back(label + " " + k.name + ": output differs from the " + p.to.label +
                           " sample");
      }
    }
    if (python && pr.error.empty()) {
      if (ReadFile(dir + "/python." + p.from.suffix + "-" + p.to.suffix) == expected) {
        matches += "Python";
      } else {
        problems.push_back(label + " Python: output differs from the " + std::string(p.to.label) +
                           " sample");
      }
    }
    for (const Candidate& k : c) {
      if (!k.error.empty()) {
        problems.push_back(label + " " + k.name + ": " + k.error);
      }
    }
    if (!pr.error.empty() && python) {
      problems.push_back(label + " Python: " + pr.error);
    }
    // What detection adds to the time of the explicit source; meaningless when it guessed wrong.
    const bool detected = c[1].error.empty() && c[1].output == expected && ours > 0;
    const double cost = detected ? ours / detect - 1 : 0;
    std::array<char, 16> cost_text{};
    std::snprintf(cost_text.data(), cost_text.size(), detected ? "%+.1f%%" : "wrong", cost * 100);
    std::printf("%-12s %8.1f %8.1f %7s %8.1f %8.1f %8.1f  %-6s %6.2fx %-5s  %s\n", label.c_str(),
                ours, detect, cost_text.data(), via_iconv, via_icu, via_python, best.c_str(), ratio,
                ratio >= kPeerBar ? "ok" : "MISS", matches.c_str());
    if (cost > kDetectBudget) {
      problems.push_back(label + ": detection costs " + std::to_string(cost * 100) +
                         "% (budget 10%)");
    }
  }
  std::printf(
      "(ratio: ours / fastest peer, bar %.1fx; cost: how much longer the same conversion takes "
      "with detection, budget %.0f%%)\n\n",
      kPeerBar, kDetectBudget * 100);

  // Pure ASCII against memcpy of the same bytes into the same buffer.
  std::vector<Candidate> a;
  a.push_back({"memcpy",
               [](std::string_view in, std::vector<char>& dst) {
                 std::memcpy(dst.data(), in.data(), in.size());
                 return in.size();
               },
               {},
               {},
               {}});
  for (const Pair& p : kPairs) {
    a.push_back({Options(p.from.input_letter, p.to.output_letter),
                 Ours(Options(p.from.input_letter, p.to.output_letter)),
                 {},
                 {},
                 {}});
  }
  for (char letter : {'s', 'j', 'e', 'w'}) {
    a.push_back({Options(std::nullopt, letter), Ours(Options(std::nullopt, letter)), {}, {}, {}});
  }
  // An ASCII run takes a tenth of a millisecond, so one preemption moves a figure a lot; more
  // repetitions cost little and steady the median.
  Measure(a, ascii, out, 5 * reps);
  const double memcpy_mbps = MBps(ascii.size(), a[0]);
  std::printf("Pure ASCII (%.2f MB, median of %d runs): memcpy %.1f MB/s\n", ascii.size() / 1e6,
              5 * reps, memcpy_mbps);
  std::printf("%-8s %9s %9s %-5s\n", "options", "MB/s", "x memcpy", "bar");
  for (size_t i = 1; i < a.size(); ++i) {
    const double mbps = MBps(ascii.size(), a[i]);
    const double ratio = memcpy_mbps > 0 ? mbps / memcpy_mbps : 0;
    std::printf("%-8s %9.1f %9.2f %-5s\n", a[i].name.c_str(), mbps, ratio,
                ratio >= kMemcpyBar ? "ok" : "MISS");
    if (!a[i].error.empty()) {
      problems.push_back("ASCII " + a[i].name + ": " + a[i].error);
    } else if (a[i].output != ascii) {
      problems.push_back("ASCII " + a[i].name + ": output differs from the input");
    }
  }
  std::printf("(bar: at least %.1fx memcpy)\n", kMemcpyBar);

  if (!problems.empty()) {
    std::printf("\nProblems:\n");
    for (const std::string& s : problems) {
      std::printf("  %s\n", s.c_str());
    }
  }
  return 0;
}

// The component alone on one pair, for valgrind --tool=callgrind or perf.
int Profile(const std::string& dir, const std::string& pair, bool detect, bool ascii, int reps) {
  for (const Pair& p : kPairs) {
    if (pair != std::string(p.from.suffix) + ":" + p.to.suffix) {
      continue;
    }
    const std::string options = Options(
        detect ? std::nullopt : std::optional<char>(p.from.input_letter), p.to.output_letter);
    const std::string in = ReadFile(
        dir + (ascii ? std::string("/ascii.txt") : std::string("/sample.") + p.from.suffix));
    std::vector<char> out(8 * in.size() + 16, 1);
    std::vector<Candidate> c;
    c.push_back({options, Ours(options), {}, {}, {}});
    Measure(c, in, out, reps);
    if (!c[0].error.empty()) {
      std::fprintf(stderr, "%s\n", c[0].error.c_str());
      return 1;
    }
    std::printf("\"%s\" on %.2f MB%s: %.1f MB/s\n", options.c_str(), in.size() / 1e6,
                ascii ? " of ASCII" : "", MBps(in.size(), c[0]));
    return 0;
  }
  std::fprintf(stderr, "no pair %s (sjis:utf8, utf8:sjis, euc:sjis, ...)\n", pair.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: %s SAMPLE_DIR [--reps N] [--no-python]\n"
                 "       %s SAMPLE_DIR --profile FROM:TO [--detect] [--ascii] [--reps N]\n",
                 argv[0], argv[0]);
    return 2;
  }
  int reps = 21;
  bool python = true, detect = false, ascii = false;
  std::string profile;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--reps" && i + 1 < argc) {
      reps = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--no-python") {
      python = false;
    } else if (arg == "--profile" && i + 1 < argc) {
      profile = argv[++i];
    } else if (arg == "--detect") {
      detect = true;
    } else if (arg == "--ascii") {
      ascii = true;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  try {
    return profile.empty() ? Run(argv[1], reps, python)
                           : Profile(argv[1], profile, detect, ascii, reps);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_convert: %s\n", e.what());
    return 1;
  }
}
