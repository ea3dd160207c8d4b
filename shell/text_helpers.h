// Moving text between the list document's UTF-8, the interface's UTF-16 and
// the code page of file-system paths, and formatting wide text.
#pragma once

#include <string>

namespace korvel {

// printf-style formatting of wide text, measured first, with no size limit;
// a null format or an empty result gives "". %ls takes a wide (wchar_t) text.
std::u16string format_wide_text(const wchar_t* format, ...);

// Converts narrow text of the given code page (CP_UTF8 or CP_ACP) to UTF-16,
// without its terminator; "" when the text does not convert.
std::u16string narrow_to_wide(const char* text, unsigned int code_page);
std::u16string narrow_to_wide(const std::string& text, unsigned int code_page);

// Converts UTF-16 to narrow text of the given code page, without terminator.
std::string wide_to_narrow(const char16_t* text, unsigned int code_page);
std::string wide_to_narrow(const std::u16string& text, unsigned int code_page);

}  // namespace korvel
