// The host window keeping its popups over their slots, its drag strip and the
// sub-model checkboxes, on the program's own page started as start-up does.
#include <gtest/gtest.h>

#include "tests/support/program_fixture.h"

namespace korvel {
namespace {

using engine::HELEMENT;

constexpr win::RECT kTreeSlot{9, 75, 353, 731};
constexpr win::RECT kModelSlot{374, 88, 1186, 646};

std::string text_of(HELEMENT he) {
  engine::LPCWSTR text = nullptr;
  engine::HTMLayoutGetElementInnerText16(he, &text);
  return text != nullptr ? win::utf16_to_utf8(text) : "";
}

std::string attribute_of(HELEMENT he, const char* name) {
  engine::LPCWSTR value = nullptr;
  engine::HTMLayoutGetAttributeByName(he, name, &value);
  return value != nullptr ? win::utf16_to_utf8(value) : "<none>";
}

class HostWindow : public test::ProgramFixture {
 protected:
  void SetUp() override {
    ProgramFixture::SetUp();
    start();
    report(boxes(true));
    host = window_rect(g_hwndHost);
    ASSERT_EQ(host.left, 40);
    ASSERT_EQ(host.top, 30);
  }

  // A model page starts a viewer on each paint; it has no model here and puts
  // up its failure box, which (as in Windows) leaves the host deaf to a close
  // until answered. The viewer is let end before the window closes.
  void TearDown() override {
    g_modelElement.store(nullptr);
    win::wait_for_threads(5000);
    pump();
    ProgramFixture::TearDown();
  }

  std::vector<Box> boxes(bool tree_panel_visible) {
    std::vector<Box> list = {{by_name("panel-id2"), {1, 67, 361, 739}, tree_panel_visible},
                             {by_id("treeview"), kTreeSlot, tree_panel_visible},
                             {by_id("content"), {373, 87, 1187, 647}}};
    if (by_id("mywindow_dx") != nullptr) list.push_back({by_id("mywindow_dx"), kModelSlot});
    return list;
  }

  // What the tree view does for a model page: the page in "content", its slot
  // published.
  void show_model_page() {
    const std::string html = "<div id=mywindow_dx></div>";
    engine::HTMLayoutSetElementHtml(g_contentElement,
                                    reinterpret_cast<const engine::BYTE*>(html.data()),
                                    static_cast<engine::DWORD>(html.size()), 0);
    g_modelElement.store(by_id("mywindow_dx"));
    report(boxes(true));
  }

  void paint() {
    win::InvalidateRect(g_hwndHost, nullptr, win::TRUE);
    pump();
  }

  // Whether popup lies over slot, for a host client origin at origin.
  void expect_over(win::HWND popup, win::RECT slot, win::POINT origin) {
    const win::RECT rect = window_rect(popup);
    EXPECT_EQ(rect.left, origin.x + slot.left);
    EXPECT_EQ(rect.top, origin.y + slot.top);
    EXPECT_EQ(rect.right, origin.x + slot.right);
    EXPECT_EQ(rect.bottom, origin.y + slot.bottom);
  }

  win::RECT host{};
};

TEST_F(HostWindow, ModelLoadedBuildsOneCheckboxPerSubModel) {
  const HELEMENT container = by_id("div_model_show_checkbox");
  ASSERT_NE(container, nullptr);
  // Without a model on show the container is left alone.
  engine::HTMLayoutSetElementInnerText16(container, u"as it was", 9);
  win::SendMessageW(g_hwndHost, WM_MODEL_LOADED, 3, 0);
  EXPECT_EQ(text_of(container), "as it was");

  show_model_page();
  for (const unsigned count : {12u, 101u, 0u}) {
    SCOPED_TRACE(count);
    win::PostMessageW(g_hwndHost, WM_MODEL_LOADED, count, 0);
    pump();
    engine::UINT children = 0;
    engine::HTMLayoutGetChildrenCount(container, &children);
    ASSERT_EQ(children, count);
    for (unsigned index = 0; index < count; ++index) {
      HELEMENT box = nullptr;
      engine::HTMLayoutGetNthChild(container, index, &box);
      const std::string number = (index < 10 ? "0" : "") + std::to_string(index);
      EXPECT_EQ(attribute_of(box, "number"), number);
      EXPECT_EQ(attribute_of(box, "id"), "model_show_flag");
      EXPECT_EQ(attribute_of(box, "type"), "checkbox");
      EXPECT_EQ(attribute_of(box, "checked"), "true");
      EXPECT_EQ(text_of(box), "模型" + number);
    }
  }
  EXPECT_EQ(text_of(container), "");
}

TEST_F(HostWindow, APressInTheTopStripDragsTheWindow) {
  struct Case {
    int y;
    bool drags;
  } cases[] = {{31, true}, {32, false}, {0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.y);
    const win::RECT before = window_rect(g_hwndHost);
    display->mouse(g_hwndHost, win::MouseAction::kLeftDown, before.left + 600, before.top + c.y);
    pump();
    display->mouse(g_hwndHost, win::MouseAction::kMove, before.left + 650, before.top + c.y + 40);
    pump();
    display->mouse(g_hwndHost, win::MouseAction::kLeftUp, before.left + 650, before.top + c.y + 40);
    pump();
    const win::RECT after = window_rect(g_hwndHost);
    EXPECT_EQ(after.left - before.left, c.drags ? 50 : 0);
    EXPECT_EQ(after.top - before.top, c.drags ? 40 : 0);
    expect_over(tree_popup(), kTreeSlot, {after.left, after.top});
  }
}

TEST_F(HostWindow, PopupsStayOverTheirSlotsWhereverTheHostGoes) {
  show_model_page();
  EXPECT_TRUE(window_visible(g_hwndModel));
  expect_over(g_hwndModel, kModelSlot, {host.left, host.top});
  EXPECT_EQ(g_modelRect.left.load(), host.left + kModelSlot.left);
  EXPECT_EQ(g_modelRect.bottom.load(), host.top + kModelSlot.bottom);

  for (const win::POINT origin : {win::POINT{-300, -200}, win::POINT{-1, 5}, win::POINT{60, 20}}) {
    SCOPED_TRACE(origin.x);
    win::SetWindowPos(g_hwndHost, win::HWND_TOP, origin.x, origin.y, 0, 0,
                      win::SWP_NOSIZE | win::SWP_NOZORDER);
    pump();
    expect_over(tree_popup(), kTreeSlot, origin);
    expect_over(g_hwndModel, kModelSlot, origin);
    // The host sits directly below the tree popup.
    const std::vector<win::HWND> order = display->z_order();
    const auto popup_at = std::find(order.begin(), order.end(), tree_popup());
    ASSERT_NE(popup_at, order.end());
    ASSERT_NE(popup_at + 1, order.end());
    EXPECT_EQ(*(popup_at + 1), g_hwndHost);
  }
}

TEST_F(HostWindow, TheTreePopupFollowsItsPanelAndTheModelPopupItsElement) {
  show_model_page();
  report(boxes(false));
  EXPECT_FALSE(window_visible(tree_popup()));
  EXPECT_TRUE(window_visible(g_hwndModel));

  report(boxes(true));
  EXPECT_TRUE(window_visible(tree_popup()));
  EXPECT_TRUE(window_visible(g_hwndModel));
  expect_over(tree_popup(), kTreeSlot, {host.left, host.top});

  // A page without the model element: the next paint hides the model popup.
  engine::HTMLayoutSetElementInnerText16(g_contentElement, u"", 0);
  paint();
  EXPECT_EQ(g_modelElement.load(), nullptr);
  EXPECT_FALSE(window_visible(g_hwndModel));
  EXPECT_TRUE(window_visible(tree_popup()));
}

TEST_F(HostWindow, BehaviourRequestsAreAnsweredFromTheRegistry) {
  for (const char* name : {"tabs", "Tabs", "treeview"}) {
    SCOPED_TRACE(name);
    engine::NMHL_ATTACH_BEHAVIOR request{};
    request.hdr = win::NMHDR{g_hwndHost, 0, engine::HLN_ATTACH_BEHAVIOR};
    request.element = by_id("sidebar");
    request.behaviorName = name;
    EXPECT_EQ(HostNotifyCallback(0, 0, reinterpret_cast<win::LPARAM>(&request), nullptr), 0);
    const bool registered = std::string(name) == "tabs";
    EXPECT_EQ(request.elementProc != nullptr, registered);
    EXPECT_EQ(request.elementEvents, registered ? 0x307u : 0u);
  }
}

}  // namespace
}  // namespace korvel
