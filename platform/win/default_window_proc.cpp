// The default window procedure: the caption drag, which Windows runs inside
// DefWindowProcW; here the drag is a state that the mouse input follows.
#include "platform/win/message_queue.h"
#include "platform/win/window_registry.h"
#include "platform/win/window_state.h"

namespace korvel::win {

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
  if (message == WM_NCLBUTTONDOWN && wparam == HTCAPTION) {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    const detail::WindowRecord* record = detail::find_window(st, window);
    // A press that was already released by the time this message came makes
    // no drag, as the move loop on Windows ends at once then.
    if (record != nullptr && detail::on_ui_thread(st) && st.left_button_down) {
      st.drag = detail::DragState{true, window, st.cursor, POINT{record->x, record->y}};
    }
  }
  return 0;
}

namespace detail {

bool drag_takes_mouse(const MouseInput& input) {
  HWND window = nullptr;
  POINT target{};
  {
    State& st = state();
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!st.drag.active) return false;
    if (find_window(st, st.drag.window) == nullptr || input.action == MouseAction::kLeftDown ||
        input.action == MouseAction::kLeftDoubleClick) {
      st.drag = DragState{};  // the window went, or the release was missed
      return false;
    }
    if (input.action == MouseAction::kLeftUp) {
      st.drag = DragState{};
      return true;
    }
    window = st.drag.window;
    target = POINT{st.drag.start_origin.x + st.cursor.x - st.drag.start_cursor.x,
                   st.drag.start_origin.y + st.cursor.y - st.drag.start_cursor.y};
  }
  SetWindowPos(window, HWND_TOP, target.x, target.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return true;
}

}  // namespace detail
}  // namespace korvel::win
