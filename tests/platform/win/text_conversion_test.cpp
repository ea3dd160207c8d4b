#include <gtest/gtest.h>

#include <string>

#include "platform/win/text_conversion.h"

namespace korvel::win {
namespace {

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

TEST(TextConversion, Utf8ToUtf16ReplacesIllFormedSequences) {
  const Utf8Case cases[] = {
      {"ascii", "abc", u"abc"},
      {"chinese", "模型", u"模型"},
      {"astral", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"truncated two-byte", "a\xC3", u"a\uFFFD"},
      {"truncated three-byte", "\xE6\xA8z", u"\uFFFDz"},
      {"overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"stray continuation", "\x80x", u"\uFFFDx"},
  };
  for (const Utf8Case& one : cases) {
    EXPECT_EQ(utf8_to_utf16(one.utf8), one.utf16) << one.name;
  }
}

TEST(TextConversion, Utf16ToUtf8ReplacesLoneSurrogates) {
  EXPECT_EQ(utf16_to_utf8(u"模型03"), "模型03");
  EXPECT_EQ(utf16_to_utf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t{0xD800}) + u"a"),
            "\xEF\xBF\xBD"
            "a");
  EXPECT_EQ(utf16_to_utf8(std::u16string(1, char16_t{0xDC00})), "\xEF\xBF\xBD");
}

TEST(TextConversion, MultiByteToWideCharFollowsTheWindowsContract) {
  const char* text = "idx文件";
  // -1 counts the NUL; size 0 asks for the size.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 6);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), 6);  // ANSI is UTF-8 here
  char16_t wide[8] = {u'x', u'x', u'x', u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 8), 6);
  EXPECT_EQ(std::u16string(wide), u"idx文件");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, wide, 8), 3);  // no NUL added

  char16_t small[4] = {u'k', u'k', u'k', u'k'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, small, 4), 0);  // does not fit
  EXPECT_EQ(small[0], u'k');                                          // nothing written

  EXPECT_EQ(MultiByteToWideChar(936, 0, text, -1, wide, 8), 0);  // no GBK
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 8, text, -1, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 0, wide, 8), 0);
}

TEST(TextConversion, WideCharToMultiByteFollowsTheWindowsContract) {
  const char16_t* text = u"提取成功";
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr), 13);
  char narrow[1024] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, 1024, nullptr, nullptr), 13);
  EXPECT_STREQ(narrow, "提取成功");

  char tight[12] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, tight, 12, nullptr, nullptr), 0);
  EXPECT_EQ(tight[0], 0);  // a buffer zeroed beforehand stays empty

  BOOL used = FALSE;
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, 1024, "?", nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, 1024, nullptr, &used), 0);
}

TEST(TextConversion, LstrcmpiComparesIdsRegardlessOfCase) {
  struct Case {
    const char* first;
    const char* second;
    int sign;
  };
  const Case cases[] = {{"pick_up_pic", "PICK_UP_PIC", 0}, {"true", "True", 0}, {".dds", ".DDS", 0},
                        {"change_pic", "pick_up_pic", -1}, {"abc", "ab", 1},    {"", "", 0}};
  for (const Case& one : cases) {
    const int result = lstrcmpiA(one.first, one.second);
    EXPECT_EQ((result > 0) - (result < 0), one.sign) << one.first << " / " << one.second;
  }
  EXPECT_EQ(lstrcmpiW(u"panel-id2", u"PANEL-ID2"), 0);
  EXPECT_NE(lstrcmpiW(u"panel-id2", u"panel-id3"), 0);
  EXPECT_LT(lstrcmpiW(nullptr, u"a"), 0);
  EXPECT_EQ(lstrcmpiW(nullptr, nullptr), 0);
}

}  // namespace
}  // namespace korvel::win
