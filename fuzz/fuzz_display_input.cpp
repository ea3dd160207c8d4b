// libFuzzer target for the display's POST /input body decoder (see
// fuzz/display_input_input.h).
#include <cstdlib>

#include "fuzz/display_input_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!korvel::fuzz::run_display_input(data, size)) std::abort();
  return 0;
}
