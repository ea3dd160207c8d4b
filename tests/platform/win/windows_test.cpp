#include <cstring>
#include <limits>
#include <vector>

#include "tests/platform/win/window_fixture.h"

namespace korvel::win::testing {
namespace {

using Windows = WindowTest;

TEST_F(Windows, ClassesAreRegisteredOnceByCaseInsensitiveName) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &test_window_proc;
  window_class.lpszClassName = u"KORVEL TEST WINDOW";
  EXPECT_EQ(RegisterClassW(&window_class), 0);  // already there
  window_class.lpszClassName = u"systreeview32";
  EXPECT_EQ(RegisterClassW(&window_class), 0);  // built in
  window_class.lpszClassName = u"korvel other";
  EXPECT_NE(RegisterClassW(&window_class), 0);
  EXPECT_TRUE(UnregisterClassW(u"korvel other", nullptr));
  EXPECT_FALSE(UnregisterClassW(u"korvel other", nullptr));
  EXPECT_EQ(CreateWindowExW(0, u"korvel other", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  EXPECT_EQ(tree_in(nullptr), nullptr);  // a child needs its parent
}

TEST_F(Windows, CreatedWindowsArePublishedWithTheirGeometry) {
  const HWND host = CreateWindowExW(WS_EX_LAYERED, kClass, u"korvel_engine_v1 2014-07-02 16:32",
                                    WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  const HWND popup_window = popup(200, 100, 300, 400);
  const HWND tree = tree_in(popup_window);
  ASSERT_NE(tree, nullptr);
  MoveWindow(tree, 5, 6, 290, 380, FALSE);

  const auto host_view = display->window(host);
  ASSERT_TRUE(host_view.has_value());
  EXPECT_EQ(host_view->title, "korvel_engine_v1 2014-07-02 16:32");
  EXPECT_EQ(host_view->class_name, "korvel test window");
  EXPECT_EQ(host_view->ex_style, WS_EX_LAYERED);
  EXPECT_FALSE(host_view->visible);

  const auto tree_view = display->window(tree);
  ASSERT_TRUE(tree_view.has_value());
  EXPECT_EQ(tree_view->class_name, "SysTreeView32");
  EXPECT_EQ(tree_view->parent, popup_window);
  EXPECT_TRUE(tree_view->visible);       // WS_VISIBLE in 0x5000002F
  EXPECT_EQ(tree_view->rect.left, 205);  // desktop coordinates
  EXPECT_EQ(tree_view->rect.top, 106);
  EXPECT_EQ(tree_view->rect.right, 495);
  EXPECT_EQ(GetParent(tree), popup_window);
  EXPECT_EQ(GetParent(popup_window), nullptr);
  EXPECT_FALSE(IsWindowVisible(tree));  // its popup is still hidden
  ShowWindow(popup_window, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(tree));

  RECT rect{};
  ASSERT_TRUE(GetWindowRect(tree, &rect));
  EXPECT_EQ(rect.left, 205);
  EXPECT_EQ(rect.bottom, 486);
  WINDOWPLACEMENT placement{};
  ASSERT_TRUE(GetWindowPlacement(popup_window, &placement));
  EXPECT_EQ(placement.rcNormalPosition.left, 200);
  EXPECT_EQ(placement.rcNormalPosition.top, 100);
  EXPECT_EQ(placement.rcNormalPosition.right, 500);
}

TEST_F(Windows, DesktopSizeComesFromTheDisplay) {
  RECT desktop{};
  ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
  EXPECT_EQ(desktop.right, 1280);
  EXPECT_EQ(desktop.bottom, 800);
  display->desktop_size(1920, 1080);
  display->desktop_size(-5, 0);  // nonsense is ignored
  ASSERT_TRUE(GetClientRect(GetDesktopWindow(), &desktop));
  EXPECT_EQ(desktop.right, 1920);
  EXPECT_EQ(desktop.bottom, 1080);
}

TEST_F(Windows, SetWindowPosPlacesAWindowBelowItsInsertAfter) {
  const HWND host = popup();
  const HWND tree_popup = popup();
  const HWND model = popup();
  EXPECT_EQ(display->z_order(), (std::vector<HWND>{model, tree_popup, host}));

  // The host's rule: whatever moved it, it goes back directly below the tree popup.
  std::vector<HWND> insert_afters;
  handler() = [&](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (window == host && message == WM_WINDOWPOSCHANGED) {
      const auto* position = reinterpret_cast<const WINDOWPOS*>(lparam);
      insert_afters.push_back(position->hwndInsertAfter);
      if (position->hwndInsertAfter != tree_popup) {
        SetWindowPos(host, tree_popup, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
      }
    }
    return DefWindowProcW(window, message, wparam, lparam);
  };
  SetWindowPos(host, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  EXPECT_EQ(insert_afters, (std::vector<HWND>{HWND_TOP, tree_popup}));
  EXPECT_EQ(display->z_order(), (std::vector<HWND>{model, tree_popup, host}));

  SetWindowPos(model, host, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
  EXPECT_EQ(display->z_order(), (std::vector<HWND>{tree_popup, host, model}));
  SetWindowPos(model, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(display->z_order(), (std::vector<HWND>{tree_popup, host, model}));
}

TEST_F(Windows, MovingSendsWmMoveWithTheSignedClientOrigin) {
  const HWND window = popup(10, 10, 100, 100);
  MoveWindow(window, -40, -7, 100, 100, FALSE);
  MoveWindow(window, -40, -7, 120, 90, FALSE);  // size only: no WM_MOVE
  const auto moves = received_by(window, WM_MOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lparam), -40);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lparam), -7);
  EXPECT_EQ(received_by(window, WM_WINDOWPOSCHANGED).size(), 2u);
  EXPECT_EQ(display->window(window)->rect.right, 80);
}

TEST_F(Windows, DestroyWindowSendsWmDestroyToTheWindowThenItsChildren) {
  const HWND parent = popup();
  const HWND child =
      CreateWindowExW(0, kClass, u"", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(DestroyWindow(parent));
  std::vector<HWND> destroyed;
  for (const Received& one : received()) {
    if (one.message == WM_DESTROY) destroyed.push_back(one.window);
  }
  EXPECT_EQ(destroyed, (std::vector<HWND>{parent, child}));
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(display->window(parent).has_value());
  EXPECT_FALSE(display->window(child).has_value());
  EXPECT_FALSE(DestroyWindow(parent));
  EXPECT_FALSE(ShowWindow(parent, SW_SHOW));
  RECT rect{};
  EXPECT_FALSE(GetWindowRect(child, &rect));
}

TEST_F(Windows, ACaptionPressDragsTheWindowUntilTheButtonIsReleased) {
  const HWND host = popup(100, 50, 400, 300);
  ShowWindow(host, SW_SHOW);
  // The host's rule: a press in the top 32 pixels that nothing else took drags.
  handler() = [host](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (window == host && message == WM_LBUTTONDOWN && GET_Y_LPARAM(lparam) < 32) {
      PostMessageW(host, WM_NCLBUTTONDOWN, HTCAPTION, lparam);
    }
    return DefWindowProcW(window, message, wparam, lparam);
  };
  display->mouse(host, MouseAction::kLeftDown, 110, 81);  // client y 31
  display->mouse(host, MouseAction::kMove, 130, 91);
  display->mouse(host, MouseAction::kMove, 60, 71);
  display->mouse(host, MouseAction::kLeftUp, 60, 71);
  display->mouse(host, MouseAction::kMove, 0, 0);
  pump();

  const auto moves = received_by(host, WM_MOVE);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lparam), 120);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lparam), 60);
  EXPECT_EQ(GET_X_LPARAM(moves[1].lparam), 50);
  EXPECT_EQ(GET_Y_LPARAM(moves[1].lparam), 40);
  EXPECT_EQ(display->window(host)->rect.left, 50);
  // The moves and the release belonged to the drag; the last move is the window's again.
  EXPECT_TRUE(received_by(host, WM_LBUTTONUP).empty());
  ASSERT_EQ(received_by(host, WM_MOUSEMOVE).size(), 1u);
  EXPECT_EQ(GET_X_LPARAM(received_by(host, WM_MOUSEMOVE)[0].lparam), -50);

  // At client y 32 the host does not drag.
  display->mouse(host, MouseAction::kLeftDown, 60, 72);
  display->mouse(host, MouseAction::kMove, 90, 90);
  display->mouse(host, MouseAction::kLeftUp, 90, 90);
  pump();
  EXPECT_EQ(received_by(host, WM_MOVE).size(), 2u);
}

TEST_F(Windows, MouseInputBecomesClientMessages) {
  const HWND plain = popup(10, 20, 100, 100);
  const HWND double_clicks = CreateWindowExW(0, kDoubleClickClass, u"", WS_POPUP | WS_VISIBLE, 300,
                                             0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(plain, SW_SHOW);
  display->mouse(plain, MouseAction::kLeftDown, 15, 27);
  display->mouse(plain, MouseAction::kLeftUp, 15, 27);
  display->mouse(plain, MouseAction::kLeftDoubleClick, 15, 27);
  display->mouse(double_clicks, MouseAction::kLeftDoubleClick, 301, 2);
  pump();
  const auto downs = received_by(plain, WM_LBUTTONDOWN);
  ASSERT_EQ(downs.size(), 2u);  // no CS_DBLCLKS: the second press stays a press
  EXPECT_EQ(GET_X_LPARAM(downs[0].lparam), 5);
  EXPECT_EQ(GET_Y_LPARAM(downs[0].lparam), 7);
  EXPECT_EQ(downs[0].wparam, MK_LBUTTON);
  EXPECT_EQ(received_by(plain, WM_LBUTTONUP)[0].wparam, 0u);
  EXPECT_EQ(received_by(double_clicks, WM_LBUTTONDBLCLK).size(), 1u);
}

TEST_F(Windows, StaleInputIsIgnored) {
  const HWND gone = popup(0, 0, 10, 10);
  const HWND hidden = popup(0, 0, 10, 10);
  ShowWindow(gone, SW_SHOW);
  display->key(gone, VK_F2);
  display->click(gone, 1, 1);
  display->click(hidden, 1, 1);
  display->mouse(reinterpret_cast<HWND>(0x1234567), MouseAction::kLeftDown, 1, 1);
  display->key(nullptr, VK_F2);
  DestroyWindow(gone);
  received().clear();
  EXPECT_EQ(pump(), std::nullopt);
  EXPECT_TRUE(received().empty());
}

TEST_F(Windows, DeviceResourcesAndFramesReachTheDisplayAndAreAcknowledged) {
  const HWND model = popup(0, 0, 2, 1);
  DeviceResource buffer;
  buffer.id = new_device_resource_id();
  buffer.bytes = std::make_shared<const std::vector<std::uint8_t>>(12, std::uint8_t{7});
  EXPECT_TRUE(publish_device_resource(model, buffer));
  EXPECT_NE(new_device_resource_id(), buffer.id);
  DeviceResource empty;
  empty.id = new_device_resource_id();
  EXPECT_FALSE(publish_device_resource(model, empty));  // no bytes
  ASSERT_TRUE(display->device_resource(buffer.id).has_value());
  EXPECT_EQ(display->device_resource(buffer.id)->bytes->size(), 12u);

  DeviceFrame frame;
  frame.width = 2;
  frame.height = 1;
  frame.draws.push_back(DeviceDraw{buffer.id, 12, {}, 0, 0, 0, 0, 1, 0, 1});
  EXPECT_EQ(publish_frame(model, frame), 1u);
  EXPECT_EQ(publish_frame(model, frame), 2u);
  const auto last = display->last_frame(model);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->number, 2u);
  ASSERT_EQ(last->draws.size(), 1u);
  EXPECT_EQ(last->draws[0].vertex_buffer, buffer.id);

  EXPECT_FALSE(wait_until_frame_taken(model, 2, 1));  // not taken yet: times out
  display->take_frame(model, 5);                      // never published: ignored
  EXPECT_FALSE(wait_until_frame_taken(model, 2, 1));
  display->take_frame(model, 2);
  EXPECT_TRUE(wait_until_frame_taken(model, 1, 0));

  release_device_resource(model, buffer.id);
  EXPECT_FALSE(display->device_resource(buffer.id).has_value());
  frame.width = 0;
  EXPECT_EQ(publish_frame(model, frame), 0u);
  frame.width = kMaxFrameSide + 1;
  EXPECT_EQ(publish_frame(model, frame), 0u);
  frame.width = 2;
  DestroyWindow(model);
  EXPECT_EQ(publish_frame(model, frame), 0u);
  EXPECT_FALSE(publish_device_resource(model, buffer));
  EXPECT_FALSE(wait_until_frame_taken(model, 1, 1000));  // gone: answers at once
}

// Coordinates come from the display and from sums of element boxes: far
// outside any screen they are held to the window system's limit, so that
// origins, rectangles and drags are computed without overflow.
TEST_F(Windows, CoordinatesFarOffScreenAreHeldToTheLimit) {
  constexpr int kLow = std::numeric_limits<int>::min();
  constexpr int kHigh = std::numeric_limits<int>::max();
  constexpr int kLimit = kMaxWindowCoordinate;
  const HWND far = popup(0, 0, 10, 10);
  SetWindowPos(far, HWND_TOP, kHigh, kLow, kHigh, kHigh, SWP_NOZORDER);
  RECT rect{};
  GetWindowRect(far, &rect);
  EXPECT_EQ(rect.left, kLimit);
  EXPECT_EQ(rect.top, -kLimit);
  EXPECT_EQ(rect.right, 2 * kLimit);
  EXPECT_EQ(display->window(far)->rect.bottom, 0);

  const HWND host = popup(100, 50, 400, 300);
  ShowWindow(host, SW_SHOW);
  handler() = [host](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (window == host && message == WM_LBUTTONDOWN) {
      PostMessageW(host, WM_NCLBUTTONDOWN, HTCAPTION, lparam);
    }
    return DefWindowProcW(window, message, wparam, lparam);
  };
  display->mouse(host, MouseAction::kMove, kLow, kHigh);
  display->mouse(host, MouseAction::kLeftDown, 110, 60);
  display->mouse(host, MouseAction::kMove, kLow, kLow);
  pump();
  EXPECT_EQ(received_by(host, WM_MOUSEMOVE).size(), 1u);
  GetWindowRect(host, &rect);
  EXPECT_EQ(rect.left, -kLimit);
  EXPECT_EQ(rect.top, -kLimit);
}

}  // namespace
}  // namespace korvel::win::testing
