// References that are other programs (Pillow, ImageMagick, our own command
// line) run as child processes; their CPU time is taken from the kernel's
// account of waited-for children, so that the ratios hold on a busy machine.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "bench/support/ratio_reporter.h"

namespace korvel::bench {

inline double children_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Runs command once per iteration through the shell; an error ends the run.
inline void time_child_process(benchmark::State& state, const std::string& command,
                               const char* what) {
  const double cpu_before = children_cpu_seconds();
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError((std::string(what) + " failed: " + command).c_str());
      return;
    }
  }
  state.counters[kChildCpuCounter] =
      (children_cpu_seconds() - cpu_before) / static_cast<double>(state.iterations());
}

}  // namespace korvel::bench
