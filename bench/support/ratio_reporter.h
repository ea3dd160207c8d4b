// Benchmarks report ratios against a reference measured in the same run, so
// that the figures mean the same on any machine. This reporter prints the
// usual table, then one line per ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvel::bench {

// Seconds of CPU time per iteration spent in child processes.
constexpr const char* kChildCpuCounter = "child_cpu_s";

struct Ratio {
  std::string label;
  std::string measured;  // benchmark names, without their arguments
  std::string reference;
};

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(std::vector<Ratio> ratios) : ratios_(std::move(ratios)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
      real_[name] = run.GetAdjustedRealTime();
      cpu_[name] = run.GetAdjustedCPUTime();
      // A reference run as a child process counts the child's CPU time.
      const auto child = run.counters.find(kChildCpuCounter);
      if (child != run.counters.end()) {
        cpu_[name] = child->second.value * benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const Ratio& ratio : ratios_) {
      if (real_.count(ratio.measured) == 0 || real_.count(ratio.reference) == 0) continue;
      // CPU time too: on a shared machine the wall clock also counts waiting.
      std::printf("%s: %.3fx the time, %.3fx the CPU time\n", ratio.label.c_str(),
                  real_[ratio.measured] / real_[ratio.reference],
                  cpu_[ratio.measured] / cpu_[ratio.reference]);
    }
  }

 private:
  std::vector<Ratio> ratios_;
  std::map<std::string, double> real_;
  std::map<std::string, double> cpu_;
};

// The main of a benchmark program: prepare runs before any timing starts.
inline int run_benchmarks(int argc, char** argv, std::vector<Ratio> ratios,
                          const std::function<void()>& prepare = {}) {
  benchmark::Initialize(&argc, argv);
  if (prepare) prepare();
  RatioReporter reporter(std::move(ratios));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace korvel::bench
