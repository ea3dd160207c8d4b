// printf-style formatting of selectors into the fixed 2048-unit buffers of the
// element helpers. Directives: %s a text of the format's own width, %S a text
// of the other width (converted), %d %i %u %x integers, %%. A selector that
// does not fit together with its terminating zero, or an unknown directive,
// fails the format: the lookup then matches nothing rather than a truncated
// selector.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace korvel::htmlayout {

constexpr std::size_t kSelectorBufferUnits = 2048;

bool format_selector(char (&buffer)[kSelectorBufferUnits], const char* format, va_list args);
bool format_selector(char16_t (&buffer)[kSelectorBufferUnits], const char16_t* format,
                     va_list args);

}  // namespace korvel::htmlayout
