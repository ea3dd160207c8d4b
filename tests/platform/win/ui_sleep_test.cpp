// The UI thread's Sleep lets the display publish first (a screen lays out
// what changed during the pause); a worker's Sleep does not.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win/threads_clock.h"
#include "tests/platform/win/window_fixture.h"

namespace korvel::win {
namespace {

struct CountingDisplay : ScriptedDisplay {
  void ui_thread_idle() override { ++idle; }
  std::atomic<int> idle{0};
};

class UiSleep : public testing::WindowTest {};

TEST_F(UiSleep, OnlyTheUiThreadsPausePublishes) {
  auto counting = std::make_shared<CountingDisplay>();
  set_display(counting);
  ASSERT_NE(popup(), nullptr);  // this thread is the UI thread now
  pump();
  const int before = counting->idle.load();
  std::thread([] { Sleep(1); }).join();
  EXPECT_EQ(counting->idle.load(), before) << "a worker's pause";
  Sleep(1);
  EXPECT_EQ(counting->idle.load(), before + 1) << "the UI thread's pause";
}

}  // namespace
}  // namespace korvel::win
