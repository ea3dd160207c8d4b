#include "shell/text_helpers.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "platform/win/text_conversion.h"

namespace korvel {

std::u16string format_wide_text(const wchar_t* format, ...) {
  if (format == nullptr) return {};
  // vswprintf cannot measure, so the buffer grows until the text fits.
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vswprintf(buffer.data(), buffer.size(), format, arguments);
    va_end(arguments);
    if (length >= 0 && static_cast<std::size_t>(length) < buffer.size()) {
      std::u16string text;
      for (int i = 0; i < length; ++i) {
        const auto code = static_cast<std::uint32_t>(buffer[static_cast<std::size_t>(i)]);
        if (code >= 0x10000) {
          text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
          text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
          text += static_cast<char16_t>(code);
        }
      }
      return text;
    }
    // A failure with a buffer this large is a bad format or argument.
    if (buffer.size() >= (1u << 24)) return {};
    buffer.resize(buffer.size() * 4);
  }
}

std::u16string narrow_to_wide(const char* text, unsigned int code_page) {
  if (text == nullptr) return {};
  const int measured = win::MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
  if (measured <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(measured) + 4, u'\0');
  const int converted = win::MultiByteToWideChar(code_page, 0, text, -1, wide.data(), measured + 4);
  if (converted <= 0) return {};
  wide.resize(static_cast<std::size_t>(converted) - 1);  // without the terminator
  return wide;
}

std::u16string narrow_to_wide(const std::string& text, unsigned int code_page) {
  return narrow_to_wide(text.c_str(), code_page);
}

std::string wide_to_narrow(const char16_t* text, unsigned int code_page) {
  if (text == nullptr) return {};
  const int measured =
      win::WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (measured <= 0) return {};
  std::string narrow(static_cast<std::size_t>(measured) + 4, '\0');
  const int converted = win::WideCharToMultiByte(code_page, 0, text, -1, narrow.data(),
                                                 measured + 4, nullptr, nullptr);
  if (converted <= 0) return {};
  narrow.resize(static_cast<std::size_t>(converted) - 1);
  return narrow;
}

std::string wide_to_narrow(const std::u16string& text, unsigned int code_page) {
  return wide_to_narrow(text.c_str(), code_page);
}

}  // namespace korvel
