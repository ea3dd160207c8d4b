// The engine's debug output goes to the process's standard output, which is
// this program's console.
#include <cstdio>
#include <string>

#include "platform/win/text_conversion.h"
#include "ui/host_window.h"

namespace korvel {

void DebugOutputSink(win::LPVOID /*param*/, win::WCHAR character) {
  // Units arrive one by one; a surrogate pair is written once both halves came.
  static char16_t pending_high = 0;
  std::u16string units;
  if (character >= 0xD800 && character <= 0xDBFF) {
    pending_high = character;
    return;
  }
  if (character >= 0xDC00 && character <= 0xDFFF && pending_high != 0) units += pending_high;
  pending_high = 0;
  units += character;
  const std::string text = win::utf16_to_utf8(units);
  std::fwrite(text.data(), 1, text.size(), stdout);
  if (character == u'\n') std::fflush(stdout);
}

}  // namespace korvel
