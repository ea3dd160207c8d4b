// Events from real input through the window system: targets, bubbling with
// the handled flag, window-level handlers, button clicks, keys with the
// keyboard state, focus, posted events, method calls and the layout report.
#include <gtest/gtest.h>

#include <limits>
#include <thread>

#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using test::id_of;

struct Delivery {
  std::string handler;  // the element the handler is attached to, or "window"
  UINT group;
  UINT code;
  std::string element;  // the element the handler was called with
  std::string target;
  UINT extra = 0;  // key code, keyboard state or reason
  UINT extra2 = 0;
};

std::vector<Delivery>& deliveries() {
  static std::vector<Delivery> list;
  return list;
}

// A recording handler; its tag names it, and it answers true for the codes in answers.
struct Recorder {
  std::string name;
  std::vector<UINT> answers;
};

BOOL record(LPVOID tag, HELEMENT he, UINT group, LPVOID params) {
  const auto* recorder = static_cast<Recorder*>(tag);
  Delivery d{recorder->name, group, 0, id_of(he), ""};
  switch (group) {
    case HANDLE_MOUSE: {
      const auto* p = static_cast<MOUSE_PARAMS*>(params);
      d.code = p->cmd;
      d.target = id_of(p->target);
      d.extra = static_cast<UINT>(p->pos.x);
      d.extra2 = static_cast<UINT>(p->pos.y);
      break;
    }
    case HANDLE_KEY: {
      const auto* p = static_cast<KEY_PARAMS*>(params);
      d.code = p->cmd;
      d.target = id_of(p->target);
      d.extra = p->key_code;
      d.extra2 = p->alt_state;
      break;
    }
    case HANDLE_FOCUS: {
      const auto* p = static_cast<FOCUS_PARAMS*>(params);
      d.code = p->cmd;
      d.target = id_of(p->target);
      break;
    }
    case HANDLE_BEHAVIOR_EVENT: {
      const auto* p = static_cast<BEHAVIOR_EVENT_PARAMS*>(params);
      d.code = p->cmd;
      d.target = id_of(p->heTarget);
      d.extra = static_cast<UINT>(p->reason);
      break;
    }
    case HANDLE_METHOD_CALL:
      d.code = static_cast<METHOD_PARAMS*>(params)->methodID;
      break;
    default:
      return 0;
  }
  deliveries().push_back(d);
  for (UINT code : recorder->answers) {
    if (code == d.code) return 1;
  }
  return 0;
}

constexpr char kPage[] = R"(<html id=html><body id=body>
  <div id=area><span id=label>x</span></div>
  <button id=btn><b id=btn_text>ok</b></button>
  <button id=off disabled>no</button>
  <div id=focusable tabindex=0><i id=child>c</i></div>
</body></html>)";

class Events : public test::PageHost {
 protected:
  void SetUp() override {
    PageHost::SetUp();
    deliveries().clear();
    load(kPage);
    report({{"html", {0, 0, 400, 300}},
            {"body", {0, 0, 400, 300}},
            {"area", {0, 0, 200, 40}},
            {"label", {10, 10, 50, 30}},
            {"btn", {0, 50, 100, 80}},
            {"btn_text", {10, 55, 40, 75}},
            {"off", {0, 90, 100, 120}},
            {"focusable", {200, 0, 400, 300}},
            {"child", {210, 10, 260, 40}}});
    HTMLayoutWindowAttachEventHandler(window, record, &window_recorder, HANDLE_ALL);
    pump();
    deliveries().clear();
    engine_answers.clear();
  }

  void listen(const char* id, UINT groups, std::vector<UINT> answers = {}) {
    recorders.push_back(std::make_unique<Recorder>(Recorder{id, std::move(answers)}));
    HTMLayoutAttachEventHandlerEx(by_id(id), record, recorders.back().get(), groups);
  }

  std::vector<Delivery> of_group(UINT group) const {
    std::vector<Delivery> out;
    for (const Delivery& d : deliveries()) {
      if (d.group == group) out.push_back(d);
    }
    return out;
  }

  bool answered(UINT message) const {
    for (const auto& [got, handled] : engine_answers) {
      if (got == message) return handled;
    }
    ADD_FAILURE() << "message " << message << " never reached the engine";
    return false;
  }

  Recorder window_recorder{"window", {}};
  std::vector<std::unique_ptr<Recorder>> recorders;
};

TEST_F(Events, MouseEventsBubbleFromTheElementUnderThePointer) {
  listen("label", HANDLE_MOUSE);
  listen("area", HANDLE_MOUSE, {MOUSE_DOWN});
  listen("body", HANDLE_KEY);  // not subscribed to the mouse
  mouse(win::MouseAction::kLeftDown, 20, 25);
  const auto got = of_group(HANDLE_MOUSE);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].handler, "label");
  EXPECT_EQ(got[0].code, MOUSE_DOWN);
  EXPECT_EQ(got[0].target, "label");
  EXPECT_EQ(got[0].extra, 10u);  // relative to the target's box
  EXPECT_EQ(got[0].extra2, 15u);
  EXPECT_EQ(got[1].handler, "area");
  EXPECT_EQ(got[1].code, MOUSE_DOWN);
  EXPECT_EQ(got[2].handler, "window");
  EXPECT_EQ(got[2].code, MOUSE_DOWN | HANDLED);
  EXPECT_EQ(got[2].element, "label");  // window handlers get the target
  EXPECT_TRUE(answered(win::WM_LBUTTONDOWN));

  // Nobody takes a press on the bare page, and the host may act on it.
  engine_answers.clear();
  deliveries().clear();
  mouse(win::MouseAction::kLeftUp, 20, 25);
  mouse(win::MouseAction::kMove, 150, 150);
  mouse(win::MouseAction::kLeftDown, 150, 150);
  EXPECT_FALSE(answered(win::WM_LBUTTONDOWN));
  EXPECT_FALSE(answered(win::WM_MOUSEMOVE));
  std::vector<Delivery> seen_by_window;
  for (const Delivery& d : of_group(HANDLE_MOUSE)) {
    if (d.handler == "window") seen_by_window.push_back(d);
  }
  ASSERT_EQ(seen_by_window.size(), 3u);
  EXPECT_EQ(seen_by_window[0].code, MOUSE_UP);
  EXPECT_EQ(seen_by_window[1].code, MOUSE_MOVE);
  EXPECT_EQ(seen_by_window[1].target, "body");
  EXPECT_EQ(seen_by_window[2].code, MOUSE_DOWN);

  deliveries().clear();
  mouse(win::MouseAction::kLeftDoubleClick, 20, 25);
  EXPECT_EQ(of_group(HANDLE_MOUSE).at(0).code, MOUSE_DCLICK);
}

TEST_F(Events, APressAndReleaseOnOneButtonClickIt) {
  click(20, 60);  // on the button's caption
  auto clicks = of_group(HANDLE_BEHAVIOR_EVENT);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0].code, BUTTON_CLICK);
  EXPECT_EQ(clicks[0].target, "btn");
  EXPECT_TRUE(answered(win::WM_LBUTTONDOWN));  // the page took the press

  deliveries().clear();
  mouse(win::MouseAction::kLeftDown, 20, 60);
  mouse(win::MouseAction::kLeftUp, 150, 20);  // released elsewhere
  click(20, 100);                             // disabled
  EXPECT_TRUE(of_group(HANDLE_BEHAVIOR_EVENT).empty());
}

TEST_F(Events, KeysGoToTheFocusWithTheKeyboardState) {
  key(9);
  auto keys = of_group(HANDLE_KEY);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].target, "html");  // no focus yet: the root
  EXPECT_EQ(keys[0].code, KEY_DOWN);
  EXPECT_EQ(keys[1].code, KEY_UP);

  click(230, 20);  // inside the focusable element
  EXPECT_NE(state_of("focusable") & STATE_FOCUS, 0u);
  auto focus = of_group(HANDLE_FOCUS);
  ASSERT_EQ(focus.size(), 1u);
  EXPECT_EQ(focus[0].code, FOCUS_GOT);
  EXPECT_EQ(focus[0].target, "focusable");

  deliveries().clear();
  key_down(0x11);
  key_down(0x10);
  key(9);
  key_up(0x11);
  key(37);
  key_up(0x10);
  struct Expected {
    UINT key_code;
    UINT keyboard_state;
  } expected[] = {{0x11, 1}, {0x10, 3}, {9, 3}, {9, 3}, {0x11, 2}, {37, 2}, {37, 2}, {0x10, 0}};
  keys = of_group(HANDLE_KEY);
  ASSERT_EQ(keys.size(), std::size(expected));
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].target, "focusable") << i;
    EXPECT_EQ(keys[i].extra, expected[i].key_code) << i;
    EXPECT_EQ(keys[i].extra2, expected[i].keyboard_state) << i;
  }

  deliveries().clear();
  click(150, 150);  // nothing focusable there: the focus goes
  focus = of_group(HANDLE_FOCUS);
  ASSERT_EQ(focus.size(), 1u);
  EXPECT_EQ(focus[0].code, FOCUS_LOST);
  HELEMENT focused = nullptr;
  HTMLayoutGetFocusElement(window, &focused);
  EXPECT_EQ(focused, nullptr);
}

TEST_F(Events, PostedEventsArriveLaterFromTheQueue) {
  listen("btn", HANDLE_BEHAVIOR_EVENT, {0x91});
  EXPECT_EQ(HTMLayoutPostEvent(by_id("btn"), 0x91, by_id("btn"), 7), HLDOM_OK);
  EXPECT_EQ(HTMLayoutPostEvent(by_id("label"), 0x90, by_id("btn"), 0), HLDOM_OK);
  EXPECT_TRUE(deliveries().empty());
  HTMLayoutSetElementInnerText16(by_id("area"), u"", 0);  // the label goes before delivery
  pump();
  const auto got = of_group(HANDLE_BEHAVIOR_EVENT);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].handler, "btn");
  EXPECT_EQ(got[0].code, 0x91u);
  EXPECT_EQ(got[0].target, "btn");
  EXPECT_EQ(got[0].extra, 7u);
  EXPECT_EQ(got[1].handler, "window");
  EXPECT_EQ(got[1].code, 0x91u | HANDLED);

  deliveries().clear();
  BOOL handled = 0;
  EXPECT_EQ(HTMLayoutSendEvent(by_id("btn_text"), 0x91, by_id("btn_text"), 0, &handled), HLDOM_OK);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(of_group(HANDLE_BEHAVIOR_EVENT).size(), 2u);
}

TEST_F(Events, MethodCallsGoToTheElementsOwnHandlersOnly) {
  listen("area", HANDLE_METHOD_CALL, {5});
  METHOD_PARAMS known{5};
  METHOD_PARAMS unknown{6};
  EXPECT_EQ(HTMLayoutCallBehaviorMethod(by_id("area"), &known), HLDOM_OK);
  EXPECT_EQ(HTMLayoutCallBehaviorMethod(by_id("area"), &unknown), HLDOM_OK_NOT_HANDLED);
  EXPECT_EQ(HTMLayoutCallBehaviorMethod(by_id("label"), &known), HLDOM_OK_NOT_HANDLED);
  EXPECT_EQ(deliveries().size(), 2u);
}

TEST_F(Events, TheLayoutReportGivesGeometryAndVisibility) {
  RECT rect{-1, -1, -1, -1};
  HTMLayoutGetElementLocation(by_id("btn"), &rect, VIEW_RELATIVE);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.bottom, 80);

  listen("area", HANDLE_BEHAVIOR_EVENT);
  engine_answers.clear();
  engine::LayoutReport layout;
  layout.min_width = 640;
  layout.min_height = 480;
  UINT uid = 0;
  HTMLayoutGetElementUID(by_id("html"), &uid);
  layout.boxes.push_back({uid, {20, 30, 420, 330}, true});
  HTMLayoutGetElementUID(by_id("area"), &uid);
  layout.boxes.push_back({uid, {20, 30, 220, 70}, false});
  layout.boxes.push_back({0x7FFFFFF0, {0, 0, 1, 1}, true});  // no such element
  std::thread display_thread([&] { engine::submit_layout_report(window, layout); });
  display_thread.join();
  EXPECT_EQ(HTMLayoutGetMinWidth(window), 0u);  // not before the UI thread takes it
  pump();
  EXPECT_EQ(HTMLayoutGetMinWidth(window), 640u);
  EXPECT_EQ(HTMLayoutGetMinHeight(window, 640), 480u);
  EXPECT_TRUE(answered(win::WM_PAINT));  // the host was asked to repaint

  HTMLayoutGetElementLocation(by_id("area"), &rect, VIEW_RELATIVE);
  EXPECT_EQ(rect.left, 20);
  EXPECT_EQ(rect.top, 30);
  HTMLayoutGetElementLocation(by_id("area"), &rect, ROOT_RELATIVE);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.bottom, 40);
  EXPECT_EQ(HTMLayoutGetElementLocation(by_id("area"), &rect, 2), HLDOM_INVALID_PARAMETER);
  BOOL visible = 1;
  HTMLayoutIsElementVisible(by_id("area"), &visible);
  EXPECT_EQ(visible, 0);

  const auto changes = of_group(HANDLE_BEHAVIOR_EVENT);
  ASSERT_EQ(changes.size(), 2u);  // the area only: the others kept their visibility
  EXPECT_EQ(changes[0].handler, "area");
  EXPECT_EQ(changes[0].code, VISIUAL_STATUS_CHANGED);
  EXPECT_EQ(changes[0].extra, 0u);  // hidden
  EXPECT_EQ(changes[1].handler, "window");
  EXPECT_EQ(changes[1].element, "area");

  deliveries().clear();
  report({{"area", {0, 0, 10, 10}, true}, {"btn", {0, 50, 100, 80}, true}});
  const auto shown = of_group(HANDLE_BEHAVIOR_EVENT);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].extra, 1u);  // shown

  // Before any report an element is visible unless hidden by attribute or state.
  load("<body><p id=plain></p><div hidden><p id=under_hidden></p></div>");
  for (const auto& [id, expected] :
       std::vector<std::pair<const char*, BOOL>>{{"plain", 1}, {"under_hidden", 0}}) {
    HTMLayoutIsElementVisible(by_id(id), &visible);
    EXPECT_EQ(visible, expected) << id;
    HTMLayoutGetElementLocation(by_id(id), &rect, VIEW_RELATIVE);
    EXPECT_EQ(rect.right, 0);
  }
}

// Reports name windows the display saw; one for a window that is gone, or was
// never a window, cannot be delivered and must not be kept for it.
TEST_F(Events, AReportForAWindowThatIsGoneIsDropped) {
  const auto not_a_window = reinterpret_cast<HWND>(std::uintptr_t{0x7FFF0});
  const std::string html = "<body></body>";
  HTMLayoutLoadHtmlEx(not_a_window, reinterpret_cast<const BYTE*>(html.data()),
                      static_cast<UINT>(html.size()), u"/");
  engine::LayoutReport layout;
  layout.min_width = 640;
  engine::submit_layout_report(not_a_window, layout);
  engine::apply_submitted_report(not_a_window);
  EXPECT_EQ(HTMLayoutGetMinWidth(not_a_window), 0u);
}

// Boxes come from the browser: coordinates far outside any screen are held to
// the engine's limit, so that locations relative to the root and pointer
// positions inside an element are computed without overflow.
TEST_F(Events, ReportedCoordinatesAreHeldToTheLimit) {
  constexpr LONG kLow = std::numeric_limits<LONG>::min();
  constexpr LONG kHigh = std::numeric_limits<LONG>::max();
  constexpr LONG kLimit = engine::kMaxLayoutCoordinate;
  report({{"html", {kHigh, kHigh, kHigh, kHigh}}, {"area", {kLow, kLow, kHigh, kHigh}}});
  RECT rect{};
  HTMLayoutGetElementLocation(by_id("area"), &rect, VIEW_RELATIVE);
  EXPECT_EQ(rect.left, -kLimit);
  EXPECT_EQ(rect.bottom, kLimit);
  HTMLayoutGetElementLocation(by_id("area"), &rect, ROOT_RELATIVE);
  EXPECT_EQ(rect.left, -2 * kLimit);
  EXPECT_EQ(rect.right, 0);

  listen("area", HANDLE_MOUSE);
  mouse(win::MouseAction::kMove, 5, 5);
  const auto got = of_group(HANDLE_MOUSE);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back().target, "area");
  EXPECT_EQ(got.back().extra, static_cast<UINT>(5 + kLimit));  // x inside the area
}

}  // namespace
}  // namespace korvel::engine
