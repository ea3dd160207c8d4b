// Code-page conversions and the case-insensitive compare the program uses.
// The "ANSI code page" (CP_ACP) is UTF-8 on our platforms, so CP_ACP and
// CP_UTF8 convert alike. Malformed input becomes U+FFFD, as Windows does
// without MB_ERR_INVALID_CHARS.
#pragma once

#include <string>
#include <string_view>

#include "platform/win/win_types.h"

namespace korvel::win {

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// A length of -1 converts up to and including the terminating NUL. An output
// size of 0 asks for the size needed. Answers the units written (or needed);
// 0 on failure: an unknown code page, flags, a default character for UTF-8,
// or an output that does not fit, in which case nothing is written.
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int text_length, LPWSTR output,
                        int output_size);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int text_length, LPSTR output,
                        int output_size, LPCSTR default_char, BOOL* used_default_char);

// Case-insensitive comparison for ASCII letters, code-unit order otherwise;
// the program only asks whether two ids are equal. Null sorts first.
int lstrcmpiA(LPCSTR first, LPCSTR second);
int lstrcmpiW(LPCWSTR first, LPCWSTR second);

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);

}  // namespace korvel::win
