#include "platform/win/message_queue.h"

#include "platform/limits.h"
#include "platform/win/threads_clock.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

bool never_stop(detail::State&, std::uint64_t) {
  return false;
}

}  // namespace

namespace detail {

Retrieved retrieve_message(MSG* msg, bool wait, bool (*stop)(State&, std::uint64_t),
                           std::uint64_t stop_argument) {
  State& st = state();
  std::unique_lock<std::mutex> lock(st.mutex);
  bool idle_told = false;
  for (;;) {
    if (stop(st, stop_argument)) return Retrieved::kNothing;
    while (!st.posted.empty()) {
      MSG posted = st.posted.front();
      st.posted.pop_front();
      if (posted.hwnd != nullptr && find_window(st, posted.hwnd) == nullptr) continue;
      posted.time = timeGetTime();
      posted.pt = st.cursor;
      *msg = posted;
      return posted.message == WM_QUIT ? Retrieved::kQuit : Retrieved::kMessage;
    }
    if (!st.input.empty()) {
      const InputEvent event = st.input.front();
      st.input.pop_front();
      lock.unlock();
      MSG made{};
      const bool has_message = input_to_message(event, &made);
      lock.lock();
      if (has_message) {
        made.time = timeGetTime();
        made.pt = st.cursor;
        *msg = made;
        return Retrieved::kMessage;
      }
      continue;
    }
    if (st.quit_posted) {
      st.quit_posted = false;
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(st.quit_code), 0, timeGetTime(), st.cursor};
      return Retrieved::kQuit;
    }
    if (take_paint(st, msg)) {
      msg->time = timeGetTime();
      return Retrieved::kMessage;
    }
    if (!wait) return Retrieved::kNothing;
    if (!idle_told && st.display != nullptr) {
      // Once per dry spell: what the display publishes may post nothing, so
      // the queue is looked at again before waiting.
      idle_told = true;
      const std::shared_ptr<Display> display = st.display;
      lock.unlock();
      display->ui_thread_idle();
      lock.lock();
      continue;
    }
    st.changed.wait(lock);
    idle_told = false;
  }
}

}  // namespace detail

BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (window != nullptr && detail::find_window(st, window) == nullptr) return FALSE;
    if (st.posted.size() >= kMaxPostedMessages) return FALSE;
    st.posted.push_back(MSG{window, message, wparam, lparam, 0, POINT{}});
  }
  st.changed.notify_all();
  return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::on_ui_thread(st)) return 0;
  }
  return detail::call_window_proc(window, message, wparam, lparam);
}

BOOL GetMessageW(MSG* msg, HWND window, UINT first_message, UINT last_message) {
  if (msg == nullptr || window != nullptr || first_message != 0 || last_message != 0) return -1;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::claim_ui_thread(st)) return -1;
  }
  return detail::retrieve_message(msg, true, &never_stop, 0) == detail::Retrieved::kQuit ? FALSE
                                                                                         : TRUE;
}

bool next_pending_message(MSG* msg) {
  if (msg == nullptr) return false;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::claim_ui_thread(st)) return false;
  }
  return detail::retrieve_message(msg, false, &never_stop, 0) != detail::Retrieved::kNothing;
}

std::uint32_t mouse_message_element_key() {
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  return st.mouse_element_key;
}

BOOL TranslateMessage(const MSG* /*msg*/) {
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exit_code) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::on_ui_thread(st)) return;
    st.quit_posted = true;
    st.quit_code = exit_code;
  }
  st.changed.notify_all();
}

}  // namespace korvel::win
