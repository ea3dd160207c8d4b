// libFuzzer target for replacing a texture in an archive built from the input
// (see fuzz/replace_input.h).
#include <cstdlib>

#include "fuzz/replace_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!korvel::fuzz::run_replace_input(data, size)) std::abort();
  return 0;
}
