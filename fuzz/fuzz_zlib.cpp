// Arbitrary bytes through dispatch in decode and rebuild mode, where the
// zlib chunk stream decoder sees them, and built into streams of their own.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/console_message.h"
#include "fuzz/stream_bound.h"
#include "tests/support/container_laws.h"

namespace {
void ignore_message(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (korvel::set_console_message_handler(&ignore_message), true);
  (void)quiet;
  if (!korvel::fuzz::stream_within_fuzz_bound(data, size)) return 0;
  const std::string broken = korvel::test::check_unchanged_rebuild(data, size) +
                             korvel::test::check_zlib_stream_builder(data, size);
  if (!broken.empty()) {
    std::fprintf(stderr, "broken law: %s\n", broken.c_str());
    std::abort();
  }
  return 0;
}
