#include "fuzz/dds_input.h"
#include "fuzz/one_omp_thread.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvel::fuzz::run_dds_input(data, size);
  return 0;
}
