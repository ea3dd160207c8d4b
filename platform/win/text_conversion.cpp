#include "platform/win/text_conversion.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace korvel::win {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool is_utf8_page(UINT code_page) {
  return code_page == CP_ACP || code_page == CP_UTF8;
}

// Decodes one scalar value at text[index], advancing index. An ill-formed
// sequence gives U+FFFD and consumes only its maximal well-formed prefix.
char32_t decode_utf8(std::string_view text, std::size_t& index) {
  const auto lead = static_cast<unsigned char>(text[index++]);
  if (lead < 0x80) return lead;
  int continuation = 0;
  char32_t value = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacement;
  }
  for (int i = 0; i < continuation; ++i) {
    if (index >= text.size()) return kReplacement;
    const auto byte = static_cast<unsigned char>(text[index]);
    if (byte < low || byte > high) return kReplacement;
    value = (value << 6) | (byte & 0x3F);
    ++index;
    low = 0x80;
    high = 0xBF;
  }
  return value;
}

void append_utf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | (value >> 6));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += static_cast<char>(0xE0 | (value >> 12));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (value >> 18));
    out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

template <typename Char>
int compare_ignoring_ascii_case(const Char* first, const Char* second) {
  if (first == nullptr || second == nullptr) {
    return (first == nullptr ? 0 : 1) - (second == nullptr ? 0 : 1);
  }
  auto fold = [](Char c) -> unsigned long {
    const auto value = static_cast<unsigned long>(static_cast<std::make_unsigned_t<Char>>(c));
    return (value >= 'A' && value <= 'Z') ? value + ('a' - 'A') : value;
  };
  for (;; ++first, ++second) {
    const unsigned long a = fold(*first);
    const unsigned long b = fold(*second);
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}

}  // namespace

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t index = 0;
  while (index < text.size()) {
    const char32_t value = decode_utf8(text, index);
    if (value < 0x10000) {
      out += static_cast<char16_t>(value);
    } else {
      out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      append_utf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                           (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      append_utf8(out, kReplacement);  // a lone surrogate
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int text_length, LPWSTR output,
                        int output_size) {
  if (!is_utf8_page(code_page) || flags != 0 || text == nullptr || text_length == 0 ||
      text_length < -1 || output_size < 0 || (output_size > 0 && output == nullptr)) {
    return 0;
  }
  const std::size_t length =
      text_length == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(text_length);
  const std::u16string converted = utf8_to_utf16(std::string_view(text, length));
  if (converted.size() > static_cast<std::size_t>(INT32_MAX)) return 0;
  const int needed = static_cast<int>(converted.size());
  if (output_size == 0) return needed;
  if (needed > output_size) return 0;
  std::memcpy(output, converted.data(), converted.size() * sizeof(char16_t));
  return needed;
}

int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int text_length, LPSTR output,
                        int output_size, LPCSTR default_char, BOOL* used_default_char) {
  if (!is_utf8_page(code_page) || flags != 0 || default_char != nullptr ||
      used_default_char != nullptr || text == nullptr || text_length == 0 || text_length < -1 ||
      output_size < 0 || (output_size > 0 && output == nullptr)) {
    return 0;
  }
  std::size_t length = static_cast<std::size_t>(text_length);
  if (text_length == -1) {
    length = 0;
    while (text[length] != 0) ++length;
    ++length;
  }
  const std::string converted = utf16_to_utf8(std::u16string_view(text, length));
  if (converted.size() > static_cast<std::size_t>(INT32_MAX)) return 0;
  const int needed = static_cast<int>(converted.size());
  if (output_size == 0) return needed;
  if (needed > output_size) return 0;
  std::memcpy(output, converted.data(), converted.size());
  return needed;
}

int lstrcmpiA(LPCSTR first, LPCSTR second) {
  return compare_ignoring_ascii_case(first, second);
}
int lstrcmpiW(LPCWSTR first, LPCWSTR second) {
  return compare_ignoring_ascii_case(first, second);
}

}  // namespace korvel::win
