// libFuzzer target for the PNG input of a replacement (see fuzz/png_input.h).
#include <cstdlib>

#include "fuzz/one_omp_thread.h"
#include "fuzz/png_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!korvel::fuzz::run_png_input(data, size)) std::abort();
  return 0;
}
