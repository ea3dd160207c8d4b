// Text conversions inside the engine: the window system's UTF-8 and UTF-16
// conversions, so that the engine reads narrow text exactly as the program's
// code-page conversions do (malformed input becomes U+FFFD, never a read
// outside the text), and ASCII lower-casing for names.
#pragma once

#include <string>
#include <string_view>

#include "platform/win/text_conversion.h"

namespace korvel::engine {

using win::utf16_to_utf8;
using win::utf8_to_utf16;

std::string ascii_lower(std::string_view text);

}  // namespace korvel::engine
