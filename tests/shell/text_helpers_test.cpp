#include <gtest/gtest.h>

#include "platform/win/text_conversion.h"
#include "shell/text_helpers.h"

namespace korvel {
namespace {

TEST(TextHelpers, RoundTripsBetweenTheDocumentAndTheInterface) {
  struct Case {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"", u""},
      {"plain", u"plain"},
      {"\xE6\xB8\xB8\xE6\x88\x8F", u"\u6E38\u620F"},  // CJK
      {"\xF0\x9F\x8E\xAE pad", u"\U0001F3AE pad"},    // outside the BMP: a surrogate pair
      {"C:\\games\\data.idx", u"C:\\games\\data.idx"},
  };
  for (const Case& c : cases) {
    for (unsigned int code_page : {win::CP_UTF8, win::CP_ACP}) {
      EXPECT_EQ(narrow_to_wide(c.utf8, code_page), c.utf16) << c.utf8;
      EXPECT_EQ(wide_to_narrow(c.utf16, code_page), c.utf8) << c.utf8;
    }
  }
  EXPECT_EQ(narrow_to_wide(static_cast<const char*>(nullptr), win::CP_UTF8), u"");
  EXPECT_EQ(wide_to_narrow(static_cast<const char16_t*>(nullptr), win::CP_UTF8), "");
  EXPECT_EQ(narrow_to_wide("x", 12345), u"");  // a code page we do not know
}

TEST(TextHelpers, FormatsWideTextOfAnyLength) {
  EXPECT_EQ(format_wide_text(L"%d item%ls", 3, L"s"), u"3 items");
  EXPECT_EQ(format_wide_text(L"%ls", L"\U0001F3AE"), u"\U0001F3AE");
  EXPECT_EQ(format_wide_text(nullptr), u"");
  EXPECT_EQ(format_wide_text(L""), u"");
  const std::wstring long_text(5000, L'y');
  EXPECT_EQ(format_wide_text(L"%ls!", long_text.c_str()).size(), 5001u);
}

}  // namespace
}  // namespace korvel
