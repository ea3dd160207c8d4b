// The selector subset: which elements each selector finds, in document order,
// and that anything outside the subset matches nothing.
#include <gtest/gtest.h>

#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using test::id_of;
using Selectors = test::PageHost;

constexpr char kPage[] = R"(<html><body id=body>
  <div id=tabs class="tabs wide" behavior=none>
    <ul id=strip class=strip>
      <li id=t1 panel="p-1" selected>one</li>
      <li id=t2 panel=p2 disabled>two</li>
      <li id=t3 panel="p 3">three</li>
      <li id=plain>none</li>
    </ul>
    <div id=p1 name="p-1"><span id=inner class=wide></span></div>
    <div id=p2 name=p2></div>
  </div>
  <p id=para data-x="A">text</p>
</body></html>)";

TEST_F(Selectors, FindTheirElementsInDocumentOrder) {
  load(kPage);
  HTMLayoutSetElementState(by_id("t1"), STATE_CURRENT, 0, 0);
  HTMLayoutSetElementState(by_id("p1"), STATE_EXPANDED, 0, 0);
  HTMLayoutSetElementState(by_id("p2"), STATE_COLLAPSED, 0, 0);
  const HELEMENT tabs = by_id("tabs");
  struct Case {
    const char* selector;
    HELEMENT from;
    std::vector<std::string> expected;
  } cases[] = {
      {":root>.strip>[panel][selected]", tabs, {"t1"}},
      {":root>[name=\"p-1\"]", tabs, {"p1"}},
      {":root>[name=p2]", tabs, {"p2"}},
      {":root>.strip>[panel=p 3]", tabs, {"t3"}},
      {":root>.strip>[panel='p 3']", tabs, {"t3"}},
      {":root>[name]:expanded", tabs, {"p1"}},
      {":root>[name]:collapsed", tabs, {"p2"}},
      {":root>.strip>[panel]:current", tabs, {"t1"}},
      {":root [panel]:disabled", tabs, {"t2"}},
      {":root>[panel]", tabs, {}},
      {"li", tabs, {"t1", "t2", "t3", "plain"}},
      {"LI[PANEL]", tabs, {"t1", "t2", "t3"}},
      {".wide", nullptr, {"tabs", "inner"}},
      {"div.tabs.wide span", nullptr, {"inner"}},
      {"body > div > div", nullptr, {"p1", "p2"}},
      {"#para", nullptr, {"para"}},
      {"[data-x=A]", nullptr, {"para"}},
      {"[data-x=a]", nullptr, {}},
      {"p, #t3", nullptr, {"t3", "para"}},
      {"*:root", nullptr, {}},
      {"ul * li", nullptr, {}},
      {"div li", nullptr, {"t1", "t2", "t3", "plain"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ids_matching(c.selector, c.from), c.expected) << c.selector;
  }
}

TEST_F(Selectors, OutsideTheSubsetMatchNothing) {
  load(kPage);
  for (const char* selector : {"", ">li", "li >", "li:hover", "[panel~=x]", "[panel=", "li,",
                               ":root>[name=]", "li::before", "li + li", "[=x]", "a)b"}) {
    int calls = 0;
    EXPECT_EQ(HTMLayoutSelectElements(
                  root(), selector,
                  [](HELEMENT, LPVOID param) -> BOOL {
                    ++*static_cast<int*>(param);
                    return 0;
                  },
                  &calls),
              HLDOM_INVALID_PARAMETER)
        << selector;
    EXPECT_EQ(calls, 0) << selector;
  }
}

TEST_F(Selectors, FocusAndParentSearches) {
  load(kPage);
  const HELEMENT inner = by_id("inner");
  HELEMENT found = nullptr;
  EXPECT_EQ(HTMLayoutSelectParent(inner, ":focus", 0, &found), HLDOM_OK);
  EXPECT_EQ(found, nullptr);

  HTMLayoutSetElementState(by_id("tabs"), STATE_FOCUS, 0, 0);
  EXPECT_EQ(ids_matching(":focus"), std::vector<std::string>{"tabs"});
  HTMLayoutSelectParent(inner, ":focus", 0, &found);
  EXPECT_EQ(found, by_id("tabs"));
  HTMLayoutSelectParent(inner, ":focus", 1, &found);
  EXPECT_EQ(found, nullptr);  // depth 1 looks at the element itself only
  HTMLayoutSelectParent(inner, ":focus", 2, &found);
  EXPECT_EQ(found, nullptr);
  HTMLayoutSelectParent(inner, ":focus", 3, &found);
  EXPECT_EQ(found, by_id("tabs"));
  HTMLayoutSelectParentW(by_id("tabs"), u":focus", 1, &found);
  EXPECT_EQ(found, by_id("tabs"));

  // Focus is one element's: giving it to another takes it from the first.
  HTMLayoutSetElementState(by_id("para"), STATE_FOCUS, 0, 0);
  EXPECT_EQ(ids_matching(":focus"), std::vector<std::string>{"para"});
  EXPECT_EQ(state_of("tabs") & STATE_FOCUS, 0u);
}

TEST_F(Selectors, ExpandedAndCollapsedExcludeEachOther) {
  load(kPage);
  HTMLayoutSetElementState(by_id("p1"), STATE_EXPANDED, 0, 1);
  HTMLayoutSetElementState(by_id("p1"), STATE_COLLAPSED, 0, 1);
  EXPECT_EQ(state_of("p1") & (STATE_EXPANDED | STATE_COLLAPSED), STATE_COLLAPSED);
  HTMLayoutSetElementState(by_id("p1"), STATE_EXPANDED, 0, 1);
  EXPECT_EQ(state_of("p1") & (STATE_EXPANDED | STATE_COLLAPSED), STATE_EXPANDED);
  EXPECT_EQ(state_of("t2"), STATE_DISABLED);  // from the attribute
}

// A narrow selector is read as the window system reads narrow text, so that
// a name converted by one finds the element named by the other, even where
// the bytes are not well-formed UTF-8.
TEST_F(Selectors, NarrowSelectorsDecodeAsTheWindowSystemDoes) {
  load(kPage);
  for (const std::string name :
       {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE6\xA8z", "\xF5\x80"}) {
    HTMLayoutSetAttributeByName(by_id("p2"), "name", win::utf8_to_utf16(name).c_str());
    const std::string selector = ":root>[name=\"" + name + "\"]";
    EXPECT_EQ(ids_matching(selector.c_str(), by_id("tabs")), std::vector<std::string>{"p2"})
        << selector;
  }
}

TEST_F(Selectors, VisitingByAttribute) {
  load(kPage);
  struct Case {
    const char* tag;
    const char* attribute;
    const char16_t* value;
    DWORD depth;
    std::vector<std::string> expected;
  } cases[] = {
      {nullptr, "panel", nullptr, 0, {"t1", "t2", "t3"}}, {nullptr, "panel", u"p2", 0, {"t2"}},
      {"div", "id", nullptr, 0, {"tabs", "p1", "p2"}},    {"*", "name", nullptr, 1, {}},
      {nullptr, "name", nullptr, 2, {"p1", "p2"}},        {nullptr, "id", u"P1", 0, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> ids;
    HTMLayoutVisitElements(
        c.depth == 0 ? root() : by_id("body"), c.tag, c.attribute, c.value,
        [](HELEMENT he, LPVOID param) -> BOOL {
          static_cast<std::vector<std::string>*>(param)->push_back(id_of(he));
          return 0;
        },
        &ids, c.depth);
    EXPECT_EQ(ids, c.expected) << c.attribute;
  }
}

}  // namespace
}  // namespace korvel::engine
