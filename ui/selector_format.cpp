#include "ui/selector_format.h"

#include <cstdio>
#include <string>

#include "platform/win/text_conversion.h"

namespace korvel::htmlayout {
namespace {

template <typename Unit>
class BoundedWriter {
 public:
  explicit BoundedWriter(Unit (&buffer)[kSelectorBufferUnits]) : buffer_(buffer) {}

  void put(Unit unit) {
    // One unit stays free for the terminating zero.
    if (length_ + 1 >= kSelectorBufferUnits) {
      overflow_ = true;
      return;
    }
    buffer_[length_++] = unit;
  }
  template <typename Text>
  void put_all(const Text& text) {
    for (auto unit : text) put(static_cast<Unit>(unit));
  }
  bool finish() {
    buffer_[length_] = 0;
    return !overflow_;
  }

 private:
  Unit (&buffer_)[kSelectorBufferUnits];
  std::size_t length_ = 0;
  bool overflow_ = false;
};

std::u16string as_wide(const char* text) {
  return text == nullptr ? u"" : win::utf8_to_utf16(text);
}
std::u16string as_wide(const char16_t* text) {
  return text == nullptr ? u"" : text;
}
std::string as_narrow(const char* text) {
  return text == nullptr ? "" : text;
}
std::string as_narrow(const char16_t* text) {
  return text == nullptr ? "" : win::utf16_to_utf8(text);
}

template <typename Unit, typename OwnText, typename OtherText>
bool format_any(Unit (&buffer)[kSelectorBufferUnits], const Unit* format, va_list args) {
  BoundedWriter<Unit> out(buffer);
  bool understood = format != nullptr;
  for (const Unit* at = format; understood && *at != 0; ++at) {
    if (*at != '%') {
      out.put(*at);
      continue;
    }
    ++at;
    switch (*at) {
      case '%':
        out.put('%');
        break;
      case 's': {
        const auto* text = va_arg(args, const OwnText*);
        if constexpr (sizeof(Unit) == 1)
          out.put_all(as_narrow(text));
        else
          out.put_all(as_wide(text));
        break;
      }
      case 'S': {
        const auto* text = va_arg(args, const OtherText*);
        if constexpr (sizeof(Unit) == 1)
          out.put_all(as_narrow(text));
        else
          out.put_all(as_wide(text));
        break;
      }
      case 'd':
      case 'i':
        out.put_all(std::to_string(va_arg(args, int)));
        break;
      case 'u':
        out.put_all(std::to_string(va_arg(args, unsigned)));
        break;
      case 'x': {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%x", va_arg(args, unsigned));
        out.put_all(std::string(digits));
        break;
      }
      default:
        understood = false;  // also a '%' at the very end
    }
  }
  const bool fits = out.finish();
  if (!understood) buffer[0] = 0;
  return understood && fits;
}

}  // namespace

bool format_selector(char (&buffer)[kSelectorBufferUnits], const char* format, va_list args) {
  return format_any<char, char, char16_t>(buffer, format, args);
}

bool format_selector(char16_t (&buffer)[kSelectorBufferUnits], const char16_t* format,
                     va_list args) {
  return format_any<char16_t, char16_t, char>(buffer, format, args);
}

}  // namespace korvel::htmlayout
