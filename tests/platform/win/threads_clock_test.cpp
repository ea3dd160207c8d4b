#include <gtest/gtest.h>

#include <sys/stat.h>
#include <atomic>
#include <string>

#include "platform/win/module_path.h"
#include "platform/win/text_conversion.h"
#include "platform/win/threads_clock.h"

namespace korvel::win {
namespace {

std::atomic<int> g_runs{0};

void count_run() {
  Sleep(5);
  ++g_runs;
}

TEST(ThreadsClock, StartedThreadsRunTheirEntryAndCanBeWaitedFor) {
  g_runs = 0;
  ASSERT_TRUE(start_thread(&count_run));
  ASSERT_TRUE(start_thread(&count_run));
  EXPECT_FALSE(start_thread(nullptr));
  EXPECT_TRUE(wait_for_threads(10000));
  EXPECT_EQ(g_runs.load(), 2);
}

TEST(ThreadsClock, TheClockAdvancesBySleeps) {
  const DWORD start = timeGetTime();
  Sleep(20);
  const DWORD elapsed = timeGetTime() - start;  // unsigned: correct across the wrap
  EXPECT_GE(elapsed, 20u);
}

TEST(ThreadsClock, TheModulePathIsTheRunningExecutable) {
  char path[4096] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  ASSERT_GT(length, 0u);
  EXPECT_EQ(std::string(path).size(), length);
  EXPECT_NE(std::string(path).find("korvel_platform_win_tests"), std::string::npos);
  struct stat info {};
  EXPECT_EQ(stat(path, &info), 0);
  EXPECT_EQ(GetModuleFileNameA(GetModuleHandleW(nullptr), path, sizeof(path)), length);

  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);  // cut, NUL-terminated
  EXPECT_EQ(small[4], 0);
  EXPECT_EQ(std::string(small), std::string(path, 4));

  char16_t wide[4096] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, wide, 4096), 0u);
  EXPECT_EQ(utf16_to_utf8(wide), std::string(path));
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1), path, sizeof(path)), 0u);
  EXPECT_EQ(GetModuleHandleW(u"other.dll"), nullptr);
}

}  // namespace
}  // namespace korvel::win
