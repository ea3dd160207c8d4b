#include "platform/win/window_system.h"

#include <algorithm>

#include "platform/win/text_conversion.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace detail {

// Never destroyed, so that a thread still running at exit (a model viewer
// posting its last message) never meets a torn-down window system.
State& state() {
  static State* const instance = new State;
  return *instance;
}

WindowRecord* find_window(State& st, HWND window) {
  const auto found = st.windows.find(handle_value(window));
  if (found == st.windows.end()) return nullptr;
  return &found->second;
}

bool claim_ui_thread(State& st) {
  if (!st.has_ui_thread) {
    st.has_ui_thread = true;
    st.ui_thread = std::this_thread::get_id();
  }
  return st.ui_thread == std::this_thread::get_id();
}

bool on_ui_thread(const State& st) {
  return st.has_ui_thread && st.ui_thread == std::this_thread::get_id();
}

int held_coordinate(std::int64_t value) {
  return static_cast<int>(
      std::clamp<std::int64_t>(value, -kMaxWindowCoordinate, kMaxWindowCoordinate));
}

int held_size(int value) {
  return std::clamp(value, 0, kMaxWindowCoordinate);
}

POINT client_origin(State& st, const WindowRecord& record) {
  std::int64_t x = record.x;
  std::int64_t y = record.y;
  // Windows here have no frame, so a client area starts at its window's origin.
  for (HWND parent = record.parent; parent != nullptr;) {
    const WindowRecord* above = find_window(st, parent);
    if (above == nullptr) break;
    x += above->x;
    y += above->y;
    parent = above->parent;
  }
  return POINT{held_coordinate(x), held_coordinate(y)};
}

bool window_is_shown(State& st, const WindowRecord& record) {
  for (const WindowRecord* current = &record; current != nullptr;) {
    if (!current->visible) return false;
    if (current->parent == nullptr) return true;
    current = find_window(st, current->parent);
  }
  return false;
}

HWND root_window(State& st, HWND window) {
  WindowRecord* record = find_window(st, window);
  while (record != nullptr && record->parent != nullptr) {
    WindowRecord* above = find_window(st, record->parent);
    if (above == nullptr) break;
    record = above;
  }
  return record != nullptr ? record->handle : nullptr;
}

bool blocked_by_modal(State& st, HWND window) {
  const HWND root = root_window(st, window);
  for (const auto& [id, modal] : st.modals) {
    if (modal.blocks_all) return true;
    if (modal.request.owner != nullptr && root_window(st, modal.request.owner) == root) return true;
  }
  return false;
}

WindowView make_view(State& st, const WindowRecord& record) {
  WindowView view;
  view.window = record.handle;
  view.parent = record.parent;
  view.class_name = utf16_to_utf8(record.class_name);
  view.title = utf16_to_utf8(record.title);
  view.style = record.style;
  view.ex_style = record.ex_style;
  const POINT origin = client_origin(st, record);
  view.rect = RECT{origin.x, origin.y, origin.x + record.width, origin.y + record.height};
  view.visible = record.visible;
  return view;
}

void Publication::add_window_and_children(State& st, const WindowRecord& record) {
  changed.push_back(make_view(st, record));
  for (HWND child : record.children) {
    if (const WindowRecord* below = find_window(st, child)) add_window_and_children(st, *below);
  }
}

void Publication::add_z_order(State& st) {
  z_order_changed = true;
  z_order = st.z_order;
}

void Publication::send() const {
  if (display == nullptr) return;
  for (HWND window : destroyed) display->window_destroyed(window);
  for (const WindowView& view : changed) display->window_changed(view);
  if (z_order_changed) display->z_order_changed(z_order);
}

bool class_name_equal(const std::u16string& first, const std::u16string& second) {
  return lstrcmpiW(first.c_str(), second.c_str()) == 0;
}

LRESULT call_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc = nullptr;
  {
    State& st = state();
    std::lock_guard<std::mutex> lock(st.mutex);
    const WindowRecord* record = find_window(st, window);
    if (record == nullptr) return 0;
    proc = record->proc;
  }
  return proc != nullptr ? proc(window, message, wparam, lparam) : 0;
}

}  // namespace detail

void set_display(std::shared_ptr<Display> display) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    st.display = std::move(display);
    if (st.display == nullptr) {
      for (auto& [id, modal] : st.modals) {
        if (modal.answered) continue;
        modal.answered = true;
        modal.answer = ModalAnswer{};
      }
    }
  }
  st.changed.notify_all();
}

void reset_window_system() {
  detail::State& st = detail::state();
  std::shared_ptr<Display> old_display;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    old_display = std::move(st.display);
    st.display.reset();
    st.has_ui_thread = false;
    st.ui_thread = std::thread::id();
    st.classes.clear();
    st.windows.clear();
    st.z_order.clear();
    st.posted.clear();
    st.input.clear();
    st.quit_posted = false;
    st.quit_code = 0;
    st.modals.clear();  // their waiters find them gone and answer as cancelled
    st.frames.clear();
    st.desktop_width = detail::kDefaultDesktopWidth;
    st.desktop_height = detail::kDefaultDesktopHeight;
    st.cursor = POINT{};
    st.left_button_down = false;
    st.drag = detail::DragState{};
    detail::forget_trees();
  }
  st.changed.notify_all();
}

}  // namespace korvel::win
