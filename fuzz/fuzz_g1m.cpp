// libFuzzer target for the model decoder (see fuzz/g1m_harness.h).
#include <cstdlib>

#include "archive/console_message.h"
#include "fuzz/g1m_harness.h"

namespace {
void ignore_message(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (korvel::set_console_message_handler(&ignore_message), true);
  (void)quiet;
  if (!korvel::fuzz::run_g1m_input(data, size)) std::abort();
  return 0;
}
