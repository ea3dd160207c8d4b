// The engine's debug output: one UTF-16 unit per call of the installed sink.
#pragma once

#include <string_view>

#include "platform/engine/htmlayout_types.h"

namespace korvel::engine {

void set_debug_output(LPVOID param, LPHTMLAYOUT_DEBUG_OUTPUT sink);
// A line of debug output; nothing when no sink is installed.
void debug_print(std::u16string_view line);

}  // namespace korvel::engine
