// The page as the display receives it: HTML with element keys, states by name,
// resolved resource URLs and frames' pages inside their frames.
#include <gtest/gtest.h>

#include "platform/engine/document_export.h"
#include "platform/engine/html_parser.h"
#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using Export = test::PageHost;

std::string key_of(HELEMENT he) {
  UINT uid = 0;
  HTMLayoutGetElementUID(he, &uid);
  return std::to_string(uid);
}

TEST_F(Export, KeysStatesUrlsAndFramePages) {
  resources[u"/res/f/page.html"] = "<body><img id=pic src=\"korvel:G1TG\">";
  load("<body><p id=p title='a\"b'>x &amp; y</p><div id=c><frame id=f src=f/page.html>", u"/res/");
  HTMLayoutSetElementState(by_id("p"), STATE_CURRENT | STATE_EXPANDED, 0, 1);
  const std::string html = export_page_html(window);
  const std::string p = "<p id=\"p\" title=\"a&quot;b\" data-korvel-key=\"" + key_of(by_id("p")) +
                        "\" data-korvel-state=\"current expanded\">x &amp; y</p>";
  EXPECT_NE(html.find(p), std::string::npos) << html;
  const std::string frame = "<korvel-frame id=\"f\" src=\"f/page.html\" data-korvel-key=\"" +
                            key_of(by_id("f")) +
                            "\" data-korvel-url=\"/res/f/page.html\"><korvel-html";
  EXPECT_NE(html.find(frame), std::string::npos) << html;
  const std::string pic = "<img id=\"pic\" src=\"korvel:G1TG\" data-korvel-key=\"" +
                          key_of(by_id("pic")) + "\" data-korvel-url=\"korvel:G1TG\">";
  EXPECT_NE(html.find(pic), std::string::npos) << html;
  EXPECT_EQ(html.rfind("<html data-korvel-key=", 0), 0u);

  // A browser's parser (gumbo, behind parse_page, which names korvel-frame
  // back to frame) keeps the frame's page inside the frame.
  const std::unique_ptr<Element> parsed = parse_page(html, 0);
  std::string path;
  visit_descendants(*parsed, [&](Element& element) {
    if (const Attribute* id = find_attribute(element, "id"); id == nullptr || id->value != u"pic") {
      return false;
    }
    for (const Element* up = &element; up != nullptr; up = up->parent) path = up->tag + " " + path;
    return true;
  });
  EXPECT_EQ(path, "html body div frame korvel-html korvel-body img ") << html;

  // Keys are the handle numbers, so the display can name elements back.
  HELEMENT found = nullptr;
  HTMLayoutGetElementByUID(window, static_cast<UINT>(std::stoul(key_of(by_id("pic")))), &found);
  EXPECT_EQ(found, by_id("pic"));
}

TEST_F(Export, TheVersionMovesWithEveryChange) {
  EXPECT_EQ(page_version(window), 0u);
  load("<body><p id=p>x</p>");
  std::uint64_t last = page_version(window);
  EXPECT_NE(last, 0u);
  const std::function<void()> changes[] = {
      [&] { HTMLayoutSetAttributeByName(by_id("p"), "a", u"1"); },
      [&] { HTMLayoutSetElementState(by_id("p"), STATE_CURRENT, 0, 0); },
      [&] { HTMLayoutSetElementInnerText16(by_id("p"), u"y", 1); },
      [&] { HTMLayoutSetElementHtml(by_id("p"), reinterpret_cast<const BYTE*>("<b>"), 3, 0); },
      [&] { HTMLayoutUpdateElement(by_id("p"), 1); },
      [&] {
        const BYTE late[] = {1};
        HTMLayoutDataReady(window, u"/pages/late.png", late, 1);
      },
  };
  for (const auto& change : changes) {
    change();
    EXPECT_GT(page_version(window), last);
    last = page_version(window);
  }
  const auto bytes = delivered_resource(window, u"/pages/late.png");
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes->size(), 1u);
  EXPECT_EQ(delivered_resource(window, u"/pages/none.png"), nullptr);
  // Each delivery has a number of its own, also when its bytes are the same.
  const std::uint64_t delivery = resource_delivery(window, u"/pages/late.png");
  const BYTE same[] = {1};
  HTMLayoutDataReady(window, u"/pages/late.png", same, 1);
  EXPECT_GT(resource_delivery(window, u"/pages/late.png"), delivery);
  EXPECT_EQ(resource_delivery(window, u"/pages/none.png"), 0u);
}

TEST_F(Export, FocusMovedByAPressMovesTheVersion) {
  load("<body><p id=p>x</p><button id=b>b</button>");
  HTMLayoutSetElementState(by_id("p"), STATE_FOCUS, 0, 0);
  struct Press {
    const char* where;
    int x;
    bool focus_shown;  // whether the export marks an element focused afterwards
  } presses[] = {{"on the button", 15, true}, {"on nothing focusable", 60, false}};
  report({{"b", {10, 10, 30, 30}}});
  for (const Press& press : presses) {
    const std::uint64_t before = page_version(window);
    click(press.x, 20);
    EXPECT_GT(page_version(window), before) << press.where;
    const std::string html = export_page_html(window);
    EXPECT_EQ(html.find("data-korvel-state=\"focus\"") != std::string::npos, press.focus_shown)
        << press.where << ": " << html;
  }
}

}  // namespace
}  // namespace korvel::engine
