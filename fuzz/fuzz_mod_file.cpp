// libFuzzer target for reading a mod file (see fuzz/mod_file_input.h).
#include <cstdlib>

#include "fuzz/mod_file_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!korvel::fuzz::run_mod_file_input(data, size)) std::abort();
  return 0;
}
