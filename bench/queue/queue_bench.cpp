// A drop of m files on a queue that already holds n: the queue's indexed AddFiles against the
// whole-queue search it replaced, measured in the same run. Prints the ratio for each size.
// The whole-queue search at n = m = 100,000 alone takes minutes of processor time; for a
// quick look, --benchmark_filter='/1000$|/10000$' leaves it out.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "job/TThreadFileNameList.h"

namespace {

// Paths as a drop from one folder delivers them: a common folder, names that differ near the
// end, lengths that vary a little.
std::vector<std::u16string> MakePaths(int first, int count) {
  std::vector<std::u16string> paths;
  paths.reserve(static_cast<size_t>(count));
  for (int i = first; i < first + count; ++i) {
    const std::string digits = std::to_string(i);
    paths.push_back(u"C:\\Users\\quillora\\Documents\\受信\\2026-12\\scan-" +
                    std::u16string(digits.begin(), digits.end()) + u".txt");
  }
  return paths;
}

// The algorithm without an index: every path is searched for in the whole queue.
class NaiveQueue {
 public:
  void AddFiles(const std::vector<std::u16string>& paths) {
    quillora::TLock lock(lock_);
    for (const std::u16string& path : paths) {
      if (std::find(items_.begin(), items_.end(), path) == items_.end())
        items_.push_back(path);
    }
  }
  size_t Count() const { return items_.size(); }

 private:
  quillora::TLockObject lock_;
  std::deque<std::u16string> items_;
};

template <typename Queue>
void AddToFullQueue(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<std::u16string> pending = MakePaths(0, n);
  // Half of the drop is new, a quarter is already pending, a quarter repeats within the drop.
  std::vector<std::u16string> drop = MakePaths(n, n / 2);
  const std::vector<std::u16string> again = MakePaths(0, n / 4);
  drop.insert(drop.end(), again.begin(), again.end());
  drop.insert(drop.end(), drop.begin(), drop.begin() + (n - static_cast<int>(drop.size())));
  for (auto _ : state) {
    state.PauseTiming();
    auto queue = std::make_unique<Queue>();
    queue->AddFiles(pending);
    state.ResumeTiming();
    queue->AddFiles(drop);
    benchmark::DoNotOptimize(queue->Count());
    state.PauseTiming();
    if (static_cast<int>(queue->Count()) != n + n / 2)
      state.SkipWithError("wrong number of pending paths");
    queue.reset();
    state.ResumeTiming();
  }
  state.counters["paths"] = static_cast<double>(drop.size());
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

BENCHMARK_TEMPLATE(AddToFullQueue, quillora::TThreadFileNameList)->Apply(Sizes);
BENCHMARK_TEMPLATE(AddToFullQueue, NaiveQueue)->Apply(Sizes);

// Prints as usual and keeps each run's processor time so that the ratios can follow the table.
// Processor time rather than wall time: the work is on one thread, and on a shared machine
// the wall time of a long run says more about the neighbours than about the queue.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration)
        continue;
      const std::string& size = run.run_name.args;
      if (run.run_name.function_name.find("NaiveQueue") != std::string::npos)
        naive_[size] = run.GetAdjustedCPUTime();
      else
        indexed_[size] = run.GetAdjustedCPUTime();
    }
  }
  void PrintRatios() const {
    for (const auto& [size, indexed] : indexed_) {
      const auto naive = naive_.find(size);
      if (naive == naive_.end() || indexed <= 0)
        continue;
      std::printf("n = m = %s: whole-queue search / indexed AddFiles = %.0f (processor time)\n",
                  size.c_str(), naive->second / indexed);
    }
  }

 private:
  std::map<std::string, double> naive_;
  std::map<std::string, double> indexed_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
