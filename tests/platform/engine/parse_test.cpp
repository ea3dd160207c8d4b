// Pages are parsed as browsers parse them (gumbo), frames stay where they are
// written, and content replaced through the interface parses the same way.
#include <gtest/gtest.h>

#include "platform/engine/html_parser.h"
#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using test::id_of;
using Parse = test::PageHost;

std::string inner_html(HELEMENT he) {
  LPCSTR html = nullptr;
  if (HTMLayoutGetElementHtml(he, &html, 0) != HLDOM_OK) return "<error>";
  return html;
}

TEST_F(Parse, MalformedPagesComeOutAsBrowsersBuildThem) {
  struct Case {
    const char* body;
    const char* expected;
  } cases[] = {
      {"<p>a<p>b", "<p>a</p><p>b</p>"},
      {"<b><i>x</b>y</i>", "<b><i>x</i></b><i>y</i>"},
      {"<table>x<tr><td>1</table>", "x<table><tbody><tr><td>1</td></tr></tbody></table>"},
      {"<DIV ID=Up Class='a b'>t</DIV>", "<div id=\"Up\" class=\"a b\">t</div>"},
      {"<div a=1 a=2 b>&amp;&lt;&#x41;</div>", "<div a=\"1\" b=\"\">&amp;&lt;A</div>"},
      {"<ul><li>one<li>two</ul>", "<ul><li>one</li><li>two</li></ul>"},
      {"<div><!-- note -->x</div>", "<div>x</div>"},
      {"<img src=a.png><br>text", "<img src=\"a.png\"><br>text"},
      {"<span>unclosed", "<span>unclosed</span>"},
  };
  for (const Case& c : cases) {
    load(std::string("<html><body id=b>") + c.body);
    EXPECT_EQ(inner_html(by_id("b")), c.expected) << c.body;
  }
}

TEST_F(Parse, FramesStayWhereTheyAreWritten) {
  struct Case {
    const char* input;
    const char* expected;
  } cases[] = {
      {"<frame src=\"a.html\"/>", "<korvel-frame src=\"a.html\"></korvel-frame>"},
      {"<FRAME src=a>tail", "<korvel-frame src=a></korvel-frame>tail"},
      {"<frame>", "<korvel-frame></korvel-frame>"},
      {"<frameborder x><framex>", "<frameborder x><framex>"},
      {"<div title=\"<frame>\">", "<div title=\"<frame>\">"},
      {"<script>a='<frame>'</script>", "<script>a='<frame>'</script>"},
      {"<!-- <frame> -->", "<!-- <frame> -->"},
      {"<frameset><frame src=a></frameset>", "<frameset><frame src=a></frameset>"},
      {"<frame src='a>b'/>", "<korvel-frame src='a>b'></korvel-frame>"},
  };
  for (const Case& c : cases) EXPECT_EQ(rename_frames(c.input), c.expected) << c.input;

  load("<body><div id=content><frame id=f src=\"x.html\"/></div><p id=after>p</p>");
  EXPECT_EQ(inner_html(by_id("content")), "<frame id=\"f\" src=\"x.html\"></frame>");
  HELEMENT parent = nullptr;
  HTMLayoutGetParentElement(by_id("after"), &parent);
  EXPECT_EQ(id_of(parent), "");  // the body, not the frame
  LPCSTR type = nullptr;
  HTMLayoutGetElementType(by_id("f"), &type);
  EXPECT_STREQ(type, "frame");
}

TEST_F(Parse, ContentParsesInTheContextOfItsElement) {
  load("<body><table><tbody id=rows></tbody></table><div id=d>old</div>");
  const std::string row = "<tr><td>1</td></tr>";
  HTMLayoutSetElementHtml(by_id("rows"), reinterpret_cast<const BYTE*>(row.data()),
                          static_cast<DWORD>(row.size()), SIH_REPLACE_CONTENT);
  EXPECT_EQ(inner_html(by_id("rows")), "<tr><td>1</td></tr>");

  struct Case {
    UINT where;
    const char* expected;
  } cases[] = {
      {SIH_REPLACE_CONTENT, "<div id=\"d\"><i>n</i></div>"},
      {SIH_INSERT_AT_START, "<div id=\"d\"><i>n</i>old</div>"},
      {SIH_APPEND_AFTER_LAST, "<div id=\"d\">old<i>n</i></div>"},
      {SOH_REPLACE, "<i>n</i>"},
      {SOH_INSERT_BEFORE, "<i>n</i><div id=\"d\">old</div>"},
      {SOH_INSERT_AFTER, "<div id=\"d\">old</div><i>n</i>"},
  };
  for (const Case& c : cases) {
    load("<body id=b><div id=d>old</div>");
    HTMLayoutSetElementHtml(by_id("d"), reinterpret_cast<const BYTE*>("<i>n</i>"), 8, c.where);
    EXPECT_EQ(inner_html(by_id("b")), c.expected) << c.where;
  }
}

TEST_F(Parse, DeepNestingIsCutAtTheLimit) {
  std::string html = "<body>";
  for (int i = 0; i < 3000; ++i) html += "<div>";
  html += "<span id=deep></span>";
  load(html);
  EXPECT_EQ(by_id("deep"), nullptr);
  LPCSTR out = nullptr;
  EXPECT_EQ(HTMLayoutGetElementHtml(root(), &out, 1), HLDOM_OK);
  EXPECT_NE(out, nullptr);
}

TEST_F(Parse, InnerTextReplacesContentAndReadsBack) {
  load("<body><p id=p>a<b>b</b>c</p>");
  LPCWSTR text = nullptr;
  HTMLayoutGetElementInnerText16(by_id("p"), &text);
  EXPECT_EQ(std::u16string(text), u"abc");
  HTMLayoutSetElementInnerText16(by_id("p"), u"<x> & y", 7);
  LPCSTR html = nullptr;
  HTMLayoutGetElementHtml(by_id("p"), &html, 0);
  EXPECT_STREQ(html, "&lt;x&gt; &amp; y");
  EXPECT_EQ(HTMLayoutSetElementInnerText16(by_id("p"), nullptr, 3), HLDOM_INVALID_PARAMETER);
}

}  // namespace
}  // namespace korvel::engine
