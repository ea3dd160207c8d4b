#include <gtest/gtest.h>

#include "platform/engine/url.h"

namespace korvel::engine {
namespace {

TEST(ResolveUrl, RelativePathsJoinTheBaseFolder) {
  struct Case {
    const char16_t* base;
    const char16_t* reference;
    const char16_t* expected;
  } cases[] = {
      {u"/korvel_res/", u"main.css", u"/korvel_res/main.css"},
      {u"/korvel_res/", u"frame_content/g1tg.html", u"/korvel_res/frame_content/g1tg.html"},
      {u"/korvel_res/frame_content/g1tg.html", u"pic.css", u"/korvel_res/frame_content/pic.css"},
      {u"/korvel_res/frame_content/g1tg.html", u"../a.css", u"/korvel_res/a.css"},
      {u"/a/b/", u"../../../x", u"/x"},
      {u"/a/b/", u"./c/./d", u"/a/b/c/d"},
      {u"/a/b/", u"..", u"/a/"},
      {u"/a/b/", u"/abs.png", u"/abs.png"},
      {u"/a/b/", u"korvel:G1TG", u"korvel:G1TG"},
      {u"/a/b/", u"KORVEL:g1tg", u"KORVEL:g1tg"},
      {u"/a/b/", u"x.png?v=1#top", u"/a/b/x.png?v=1#top"},
      {u"/a/b/", u"", u"/a/b/"},
      {u"", u"plain.html", u"plain.html"},
      {u"http://h/p/q.html", u"r.css", u"http://h/p/r.css"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(resolve_url(c.base, c.reference), c.expected)
        << std::string(c.reference, c.reference + std::char_traits<char16_t>::length(c.reference));
  }
}

}  // namespace
}  // namespace korvel::engine
