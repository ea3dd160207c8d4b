// The element helpers on a live page: counted handles, lookups by id and by
// formatted selector (with the 2048-unit limit), siblings, the climb to the
// root across frames, content and attributes; and null elements everywhere.
#include <gtest/gtest.h>

#include "tests/support/page_host.h"
#include "ui/dom_element.h"

namespace korvel::htmlayout {
namespace {

using dom::element;
using test::id_of;

constexpr char kPage[] = R"(<html><body id=body>
  <ul id=list><li id=first>1</li><li id=middle>2</li><li id=last>3</li></ul>
  <div id=content><frame id=frame src=inner.html></div>
  <div id=abcdefghijklmn>14</div><div id=abcdefghijklmno>15</div>
  <div id="面板">wide</div>
</body></html>)";

class Helpers : public test::PageHost {
 protected:
  void SetUp() override {
    PageHost::SetUp();
    resources[u"/pages/inner.html"] =
        "<body><div id=mywindow_dx name=\"panel-id2\"><p id=deep>d</p></div></body>";
    load(kPage);
  }
};

TEST_F(Helpers, IdsOfEveryLengthAreFound) {
  const element top(root());
  for (const char* id : {"first", "abcdefghijklmn", "abcdefghijklmno", "面板", "deep"}) {
    EXPECT_EQ(id_of(top.get_element_by_id(id)), id) << id;
  }
  const std::string long_id(300, 'q');
  HTMLayoutSetAttributeByName(by_id("last"), "id", std::u16string(300, u'q').c_str());
  EXPECT_NE(top.get_element_by_id(long_id.c_str()), nullptr);
  EXPECT_EQ(top.get_element_by_id("ABCDEFGHIJKLMN"), nullptr);
  EXPECT_EQ(top.get_element_by_id("nothing"), nullptr);
  EXPECT_EQ(top.get_element_by_id(nullptr), nullptr);
  // Only below the element it is asked of.
  EXPECT_EQ(element(by_id("list")).get_element_by_id("deep"), nullptr);
  EXPECT_NE(element(by_id("content")).get_element_by_id("deep"), nullptr);
}

TEST_F(Helpers, FormattedSelectorsFindTheFirstMatch) {
  const element body(by_id("body"));
  EXPECT_EQ(id_of(body.find_first("li")), "first");
  EXPECT_EQ(id_of(body.find_first("#%s", "middle")), "middle");
  EXPECT_EQ(id_of(body.find_first("[name=\"%S\"]", u"panel-id2")), "mywindow_dx");
  EXPECT_EQ(id_of(body.find_first(u"[name=%s]", u"panel-id2")), "mywindow_dx");
  EXPECT_EQ(id_of(body.find_first(u"#%S", "last")), "last");
  EXPECT_EQ(id_of(body.find_first("ul>li:nth(%d)", 2)), "");  // not in the subset
  EXPECT_EQ(body.find_first("li%q"), nullptr);                // unknown directive
  EXPECT_EQ(body.find_first(static_cast<const char*>(nullptr)), nullptr);
}

TEST_F(Helpers, ASelectorThatDoesNotFitItsBufferMatchesNothing) {
  const element body(by_id("body"));
  // Cut at 2047 units, "#list" followed by spaces would find the list: a
  // selector that does not fit is not cut, it matches nothing.
  for (std::size_t padding : {2030u, 2041u, 2042u, 2043u, 5000u}) {
    const std::string spaces(padding, ' ');
    const std::u16string wide_spaces(padding, u' ');
    EXPECT_EQ(body.find_first("#list%snobody", spaces.c_str()), nullptr) << padding;
    EXPECT_EQ(body.find_first(u"#list%snobody", wide_spaces.c_str()), nullptr) << padding;
    EXPECT_EQ(body.find_first("#list%s", spaces.c_str()) != nullptr, padding + 5 < 2048) << padding;
    EXPECT_EQ(element(by_id("list")).test("#list%s", spaces.c_str()), padding + 5 < 2048);
  }
}

TEST_F(Helpers, SiblingsParentsAndTheRoot) {
  struct Case {
    const char* id;
    const char* next;
    const char* previous;
    const char* first;
    const char* last;
  } cases[] = {
      {"first", "middle", "", "first", "last"},
      {"middle", "last", "first", "first", "last"},
      {"last", "", "middle", "first", "last"},
  };
  for (const Case& c : cases) {
    const element item(by_id(c.id));
    EXPECT_EQ(id_of(item.next_sibling()), c.next) << c.id;
    EXPECT_EQ(id_of(item.prev_sibling()), c.previous) << c.id;
    EXPECT_EQ(id_of(item.first_sibling()), c.first) << c.id;
    EXPECT_EQ(id_of(item.last_sibling()), c.last) << c.id;
    EXPECT_EQ(id_of(item.parent()), "list");
  }
  const element top(root());
  EXPECT_EQ(top.next_sibling(), nullptr);
  EXPECT_EQ(top.first_sibling(), nullptr);
  EXPECT_EQ(top.root(), root());
  EXPECT_EQ(element(by_id("deep")).root(), root());  // across the frame
  // A frame page's root is its frame's only child: no siblings.
  const element page_root(element(by_id("frame")).find_first(":root>html"));
  ASSERT_TRUE(page_root.is_valid());
  EXPECT_EQ(page_root.next_sibling(), nullptr);
  EXPECT_EQ(page_root.prev_sibling(), nullptr);
  EXPECT_EQ(page_root.first_sibling(), page_root.get());
}

TEST_F(Helpers, FocusTestLooksAtTheElementAndItsAncestors) {
  const element deep(by_id("deep"));
  EXPECT_FALSE(deep.is_focused());
  HTMLayoutSetElementState(by_id("content"), engine::STATE_FOCUS, 0, 0);
  EXPECT_TRUE(deep.is_focused());
  EXPECT_FALSE(deep.test(":focus"));
  EXPECT_EQ(id_of(deep.find_nearest_parent(":focus")), "content");
  EXPECT_FALSE(element(by_id("list")).is_focused());
}

TEST_F(Helpers, ContentAttributesStateAndLocation) {
  const element list(by_id("list"));
  const std::string html = "<li id=only>x</li>";
  list.set_html(reinterpret_cast<const engine::BYTE*>(html.data()), html.size());
  EXPECT_EQ(id_of(list.find_first("li")), "only");
  list.set_html(nullptr, 5);
  EXPECT_EQ(list.find_first("li"), nullptr);
  list.set_html(reinterpret_cast<const engine::BYTE*>(html.data()), 0);
  engine::UINT count = 9;
  engine::HTMLayoutGetChildrenCount(list, &count);
  EXPECT_EQ(count, 0u);

  list.set_attribute("checked", u"true");
  EXPECT_EQ(std::u16string(list.get_attribute("checked")), u"true");
  list.set_attribute("checked", nullptr);
  EXPECT_EQ(list.get_attribute("checked"), nullptr);
  list.set_state(engine::STATE_CURRENT, 0);
  EXPECT_EQ(list.get_state(), engine::STATE_CURRENT);

  report({{"list", {5, 6, 7, 8}}});
  const engine::RECT rect = list.get_location(engine::VIEW_RELATIVE);
  EXPECT_EQ(rect.left, 5);
  EXPECT_EQ(rect.bottom, 8);
  const engine::RECT unknown_kind = list.get_location(9);
  EXPECT_EQ(unknown_kind.left, 0);  // cleared, and left so
}

TEST_F(Helpers, CountedHandlesFollowTheElement) {
  element held(by_id("middle"));
  element copy(held);
  element assigned;
  assigned = copy;
  EXPECT_EQ(assigned.get(), held.get());
  assigned = assigned;  // self-assignment keeps the reference
  EXPECT_TRUE(assigned.is_valid());

  const engine::HELEMENT raw = held.get();
  HTMLayoutSetElementInnerText16(by_id("list"), u"", 0);
  // Held references keep the handle safe; a new one cannot be taken.
  EXPECT_FALSE(element(raw).is_valid());
  assigned = raw;
  EXPECT_FALSE(assigned.is_valid());
  EXPECT_EQ(held.get_attribute("id"), nullptr);
  held.release();
  copy.release();
  EXPECT_NE(engine::HTMLayout_UseElement(raw), engine::HLDOM_OK);
}

TEST_F(Helpers, ANullElementDoesNothing) {
  const element none;
  EXPECT_EQ(none.get_location(engine::VIEW_RELATIVE).right, 0);
  none.set_html(reinterpret_cast<const engine::BYTE*>("x"), 1);
  none.set_attribute("a", u"b");
  none.set_state(1, 0);
  none.update(true);
  EXPECT_EQ(none.get_attribute("id"), nullptr);
  EXPECT_EQ(none.get_state(), 0u);
  for (engine::HELEMENT found :
       {none.parent(), none.root(), none.next_sibling(), none.prev_sibling(), none.first_sibling(),
        none.last_sibling(), none.get_element_by_id("first"), none.find_first("li"),
        none.find_first(u"li"), none.find_nearest_parent("*")}) {
    EXPECT_EQ(found, nullptr);
  }
  EXPECT_FALSE(none.test("*"));
  EXPECT_FALSE(none.is_focused());
}

}  // namespace
}  // namespace korvel::htmlayout
