#include "platform/win/threads_clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

struct Running {
  std::mutex mutex;
  std::condition_variable ended;
  int count = 0;
};

// Never destroyed: a detached thread may still be finishing at exit.
Running& running() {
  static Running* const instance = new Running;
  return *instance;
}

void run_and_count(ThreadEntry entry) {
  entry();
  Running& threads = running();
  std::lock_guard<std::mutex> lock(threads.mutex);
  --threads.count;
  threads.ended.notify_all();
}

}  // namespace

bool start_thread(ThreadEntry entry) {
  if (entry == nullptr) return false;
  Running& threads = running();
  {
    std::lock_guard<std::mutex> lock(threads.mutex);
    ++threads.count;
  }
  std::thread(run_and_count, entry).detach();
  return true;
}

bool wait_for_threads(DWORD timeout_ms) {
  Running& threads = running();
  std::unique_lock<std::mutex> lock(threads.mutex);
  return threads.ended.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                [&threads] { return threads.count == 0; });
}

void Sleep(DWORD milliseconds) {
  // The UI thread pausing is a dry spell for the display too: what it changed
  // so far goes out now, so a screen lays it out during the pause instead of
  // after it.
  std::shared_ptr<Display> display;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    if (detail::on_ui_thread(st)) display = st.display;
  }
  if (display != nullptr) display->ui_thread_idle();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD timeGetTime() {
  static const auto start = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return static_cast<DWORD>(static_cast<std::uint64_t>(elapsed.count()));
}

}  // namespace korvel::win
