// Input from the display: queued for the UI thread by any thread, and turned
// into messages there, when GetMessageW reaches it.
#include <cstddef>

#include "platform/limits.h"
#include "platform/win/display.h"
#include "platform/win/tree_view.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

void queue_input(detail::InputEvent event) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (st.input.size() >= kMaxQueuedInput) return;
    st.input.push_back(std::move(event));
  }
  st.changed.notify_all();
}

UINT mouse_message(MouseAction action, UINT class_style) {
  switch (action) {
    case MouseAction::kMove:
      return WM_MOUSEMOVE;
    case MouseAction::kLeftDown:
      return WM_LBUTTONDOWN;
    case MouseAction::kLeftUp:
      return WM_LBUTTONUP;
    case MouseAction::kLeftDoubleClick:
      // Only classes that ask for double clicks get them; others see a press.
      return (class_style & CS_DBLCLKS) ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
  }
  return WM_MOUSEMOVE;
}

bool mouse_to_message(const MouseInput& input, MSG* msg) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    st.cursor = POINT{input.x, input.y};
    if (input.action == MouseAction::kLeftDown || input.action == MouseAction::kLeftDoubleClick) {
      st.left_button_down = true;
    } else if (input.action == MouseAction::kLeftUp) {
      st.left_button_down = false;
    }
  }
  if (detail::drag_takes_mouse(input)) return false;
  std::lock_guard<std::mutex> lock(st.mutex);
  const detail::WindowRecord* record = detail::find_window(st, input.window);
  if (record == nullptr || !detail::window_is_shown(st, *record) ||
      detail::blocked_by_modal(st, input.window)) {
    return false;
  }
  const POINT origin = detail::client_origin(st, *record);
  st.mouse_element_key = input.element_key;
  *msg = MSG{input.window,
             mouse_message(input.action, record->class_style),
             st.left_button_down ? MK_LBUTTON : 0,
             MAKELPARAM(input.x - origin.x, input.y - origin.y),
             0,
             POINT{}};
  return true;
}

bool key_to_message(const KeyInput& input, MSG* msg) {
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  const detail::WindowRecord* record = detail::find_window(st, input.window);
  if (record == nullptr || !detail::window_is_shown(st, *record) ||
      detail::blocked_by_modal(st, input.window) || input.virtual_key <= 0 ||
      input.virtual_key > 0xFE) {
    return false;
  }
  // lParam: repeat count 1; a release also sets the previous-state and
  // transition bits.
  const LPARAM key_data = input.down ? 1 : static_cast<LPARAM>(0xC0000001u);
  *msg = MSG{input.window,
             input.down ? WM_KEYDOWN : WM_KEYUP,
             static_cast<WPARAM>(input.virtual_key),
             key_data,
             0,
             POINT{}};
  return true;
}

bool close_to_message(HWND window, MSG* msg) {
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (detail::find_window(st, window) == nullptr || detail::blocked_by_modal(st, window)) {
    return false;
  }
  *msg = MSG{window, WM_CLOSE, 0, 0, 0, POINT{}};
  return true;
}

void handle_tree_action(const TreeAction& action) {
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    const detail::WindowRecord* record = detail::find_window(st, action.tree);
    if (record == nullptr || !detail::class_name_equal(record->class_name, WC_TREEVIEWW) ||
        !detail::window_is_shown(st, *record) || detail::blocked_by_modal(st, action.tree)) {
      return;
    }
  }
  detail::tree_user_action(action);
}

}  // namespace

namespace detail {

bool input_to_message(const InputEvent& event, MSG* msg) {
  switch (event.kind) {
    case InputEvent::Kind::kMouse:
      return mouse_to_message(event.mouse, msg);
    case InputEvent::Kind::kKey:
      return key_to_message(event.key, msg);
    case InputEvent::Kind::kTree:
      handle_tree_action(event.tree);
      return false;
    case InputEvent::Kind::kClose:
      return close_to_message(event.close, msg);
  }
  return false;
}

}  // namespace detail

void input_mouse(const MouseInput& input) {
  detail::InputEvent event;
  event.kind = detail::InputEvent::Kind::kMouse;
  event.mouse = input;
  event.mouse.x = detail::held_coordinate(input.x);
  event.mouse.y = detail::held_coordinate(input.y);
  queue_input(std::move(event));
}

void input_key(const KeyInput& input) {
  detail::InputEvent event;
  event.kind = detail::InputEvent::Kind::kKey;
  event.key = input;
  queue_input(std::move(event));
}

void input_tree_action(const TreeAction& input) {
  detail::InputEvent event;
  event.kind = detail::InputEvent::Kind::kTree;
  event.tree = input;
  queue_input(std::move(event));
}

void input_close_window(HWND window) {
  detail::InputEvent event;
  event.kind = detail::InputEvent::Kind::kClose;
  event.close = window;
  queue_input(std::move(event));
}

void input_desktop_size(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxDesktopSide || height > kMaxDesktopSide) return;
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  st.desktop_width = width;
  st.desktop_height = height;
}

}  // namespace korvel::win
