// libsquish runs its block loops on OpenMP threads, which spin between calls
// and took more than half of a DDS run's time; one input decodes a few
// blocks, so the targets that reach it run with one OpenMP thread. libgomp
// reads its settings when it loads, so the target starts itself again with
// OMP_NUM_THREADS set (once: the variable is then present).
#pragma once

#include <cstdlib>

#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
  if (std::getenv("OMP_NUM_THREADS") == nullptr) {
    ::setenv("OMP_NUM_THREADS", "1", 1);
    ::execv("/proc/self/exe", *argv);
  }
  return 0;
}
