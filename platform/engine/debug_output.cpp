#include "platform/engine/debug_output.h"

namespace korvel::engine {
namespace {

struct DebugSink {
  LPVOID param = nullptr;
  LPHTMLAYOUT_DEBUG_OUTPUT sink = nullptr;
};

DebugSink& installed() {
  static DebugSink sink;
  return sink;
}

}  // namespace

void set_debug_output(LPVOID param, LPHTMLAYOUT_DEBUG_OUTPUT sink) {
  installed() = {param, sink};
}

void debug_print(std::u16string_view line) {
  const DebugSink sink = installed();
  if (sink.sink == nullptr) return;
  for (char16_t unit : line) sink.sink(sink.param, unit);
  sink.sink(sink.param, u'\n');
}

}  // namespace korvel::engine
