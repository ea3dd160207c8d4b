// UTF-8 and UTF-16 conversions inside the engine. Malformed input becomes
// U+FFFD, never a read outside the text.
#pragma once

#include <string>
#include <string_view>

namespace korvel::engine {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
std::string ascii_lower(std::string_view text);
// Length of a NUL-terminated UTF-16 text; 0 for null.
std::size_t wide_length(const char16_t* text);

}  // namespace korvel::engine
