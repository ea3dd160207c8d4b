// What the engine does for a browser screen: the element the display names
// takes the mouse, a paint waits for the layout of the page's current
// version, and a host still 0x0 gets the reported page size, centred.
#include <gtest/gtest.h>

#include "platform/engine/document_export.h"
#include "platform/win/window_paint.h"
#include "platform/win/window_registry.h"
#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using ScreenHooks = test::PageHost;

TEST_F(ScreenHooks, NamedTargetsPaintsAfterLayoutAndTheFirstSize) {
  load("<body><button id=a>a</button><button id=b>b</button>");
  // b lies over a, so the boxes alone would give b the press.
  report({{"a", {0, 0, 100, 40}}, {"b", {0, 0, 100, 40}}});
  UINT a_key = 0;
  HTMLayoutGetElementUID(by_id("a"), &a_key);
  for (const auto action : {win::MouseAction::kLeftDown, win::MouseAction::kLeftUp}) {
    win::MouseInput input{window, action, kHostX + 10, kHostY + 10};
    input.element_key = a_key;
    win::input_mouse(input);
  }
  pump();
  EXPECT_NE(state_of("a") & STATE_FOCUS, 0u);
  EXPECT_EQ(state_of("b") & STATE_FOCUS, 0u);

  const auto painted = [&] {
    engine_answers.clear();
    win::InvalidateRect(window, nullptr, 0);
    pump();
    for (const auto& [message, handled] : engine_answers) {
      if (message == win::WM_PAINT) return handled;
    }
    return false;
  };
  set_layout_awaited(true);
  EXPECT_FALSE(painted()) << "the page changed since the last layout";
  LayoutReport current;
  current.page_version = page_version(window);
  apply_layout_report(window, current);
  EXPECT_TRUE(painted());
  set_layout_awaited(false);

  win::MoveWindow(window, 0, 0, 0, 0, 0);
  LayoutReport sized;
  sized.min_width = 300;
  sized.min_height = 200;
  apply_layout_report(window, sized);
  win::RECT placed{};
  win::GetWindowRect(window, &placed);
  EXPECT_EQ(placed.left, (1280 - 300) / 2);
  EXPECT_EQ(placed.top, (800 - 200) / 2);
  EXPECT_EQ(placed.right - placed.left, 300);
  EXPECT_EQ(placed.bottom - placed.top, 200);
}

}  // namespace
}  // namespace korvel::engine
