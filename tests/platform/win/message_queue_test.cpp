#include <atomic>
#include <chrono>
#include <thread>

#include "tests/platform/win/window_fixture.h"

namespace korvel::win::testing {
namespace {

constexpr UINT kPing = WM_USER + 1;

using MessageQueue = WindowTest;

TEST_F(MessageQueue, PostedMessagesComeFirstThenInputThenQuitThenPaint) {
  const HWND window = popup(10, 10, 50, 50);
  ShowWindow(window, SW_SHOW);  // makes it invalid
  display->key(window, VK_F2);
  PostMessageW(window, kPing, 1, 0);
  PostQuitMessage(3);
  PostMessageW(window, kPing, 2, 0);

  std::vector<UINT> order;
  MSG msg{};
  while (next_pending_message(&msg)) {
    order.push_back(msg.message == kPing ? static_cast<UINT>(kPing + msg.wParam) : msg.message);
    if (msg.message == WM_QUIT) {
      EXPECT_EQ(msg.wParam, 3u);
      continue;
    }
    DispatchMessageW(&msg);
  }
  const std::vector<UINT> expected{kPing + 1, kPing + 2, WM_KEYDOWN, WM_KEYUP, WM_QUIT, WM_PAINT};
  EXPECT_EQ(order, expected);
}

TEST_F(MessageQueue, PaintsCoalesceIntoOneForEachInvalidShownWindow) {
  const HWND shown = popup(0, 0, 100, 80);
  const HWND hidden = popup(0, 0, 100, 80);
  ShowWindow(shown, SW_SHOW);
  pump();
  received().clear();

  RECT first{10, 10, 20, 20};
  RECT second{50, 5, 60, 30};
  InvalidateRect(shown, &first, TRUE);
  InvalidateRect(shown, &second, TRUE);
  InvalidateRect(shown, nullptr, TRUE);
  InvalidateRect(hidden, nullptr, TRUE);
  RECT painted{};
  handler() = [&](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == WM_PAINT) {
      PAINTSTRUCT paint{};
      EXPECT_NE(BeginPaint(window, &paint), nullptr);
      painted = paint.rcPaint;
      EndPaint(window, &paint);
      return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  };
  pump();
  EXPECT_EQ(received_by(shown, WM_PAINT).size(), 1u);
  EXPECT_EQ(painted.right, 100);
  EXPECT_EQ(painted.bottom, 80);
  EXPECT_TRUE(received_by(hidden, WM_PAINT).empty());  // hidden windows wait

  // Two invalidations of parts give one paint of their union.
  InvalidateRect(shown, &first, TRUE);
  InvalidateRect(shown, &second, TRUE);
  pump();
  EXPECT_EQ(received_by(shown, WM_PAINT).size(), 2u);
  EXPECT_EQ(painted.left, 10);
  EXPECT_EQ(painted.top, 5);
  EXPECT_EQ(painted.right, 60);
  EXPECT_EQ(painted.bottom, 30);

  // A procedure that never calls BeginPaint is not painted again and again.
  handler() = nullptr;
  InvalidateRect(shown, nullptr, TRUE);
  pump();
  EXPECT_EQ(received_by(shown, WM_PAINT).size(), 3u);

  ShowWindow(hidden, SW_SHOW);
  pump();
  EXPECT_EQ(received_by(hidden, WM_PAINT).size(), 1u);
}

TEST_F(MessageQueue, PostingFromAnotherThreadWakesTheWaitingLoop) {
  const HWND window = popup();
  std::thread poster([window] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(PostMessageW(window, kPing, 42, 7));
  });
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  poster.join();
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_EQ(msg.message, kPing);
  EXPECT_EQ(msg.wParam, 42u);
  EXPECT_EQ(msg.lParam, 7);
}

TEST_F(MessageQueue, TheLoopEndsWithTheQuitCodePostedFromWmDestroy) {
  const HWND window = popup();
  handler() = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == kPing) DestroyWindow(hwnd);
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wparam, lparam);
  };
  PostMessageW(window, kPing, 0, 0);
  MSG msg{};
  int rounds = 0;
  while (GetMessageW(&msg, nullptr, 0, 0) != 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ASSERT_LT(++rounds, 10);
  }
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 0u);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(MessageQueue, MessagesForWindowsThatAreGoneAreDropped) {
  const HWND window = popup();
  const HWND other = popup();
  PostMessageW(window, kPing, 1, 0);
  PostMessageW(other, kPing, 2, 0);
  DestroyWindow(window);
  EXPECT_FALSE(PostMessageW(window, kPing, 3, 0));
  received().clear();
  pump();
  ASSERT_EQ(received().size(), 1u);
  EXPECT_EQ(received()[0].window, other);
  EXPECT_EQ(DispatchMessageW(nullptr), 0);
}

TEST_F(MessageQueue, SendMessageCallsDirectlyOnTheUiThreadOnly) {
  const HWND window = popup();
  handler() = [](HWND, UINT message, WPARAM wparam, LPARAM) -> LRESULT {
    return message == kPing ? static_cast<LRESULT>(wparam * 2) : 0;
  };
  EXPECT_EQ(SendMessageW(window, kPing, 21, 0), 42);
  std::atomic<LRESULT> from_worker{-1};
  std::thread worker([&] { from_worker = SendMessageW(window, kPing, 21, 0); });
  worker.join();
  EXPECT_EQ(from_worker.load(), 0);  // refused: procedures run on the UI thread
  EXPECT_EQ(received_by(window, kPing).size(), 1u);

  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, window, 0, 0), -1);  // filters are not supported
  std::atomic<BOOL> worker_get{0};
  std::thread other([&] { worker_get = GetMessageW(&msg, nullptr, 0, 0); });
  other.join();
  EXPECT_EQ(worker_get.load(), -1);  // only the UI thread takes messages
}

}  // namespace
}  // namespace korvel::win::testing
