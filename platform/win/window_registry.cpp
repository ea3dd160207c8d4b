#include "platform/win/window_registry.h"

#include <algorithm>

#include "platform/win/tree_view.h"
#include "platform/win/window_paint.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

using detail::find_window;
using detail::Publication;
using detail::State;
using detail::WindowRecord;

const detail::ClassRecord* find_class(State& st, const std::u16string& name) {
  static const detail::ClassRecord tree_class{WC_TREEVIEWW, &detail::tree_window_proc, CS_DBLCLKS,
                                              nullptr, true};
  if (detail::class_name_equal(name, tree_class.name)) return &tree_class;
  for (const detail::ClassRecord& record : st.classes) {
    if (detail::class_name_equal(name, record.name)) return &record;
  }
  return nullptr;
}

std::u16string text_or_empty(LPCWSTR text) {
  return text != nullptr ? std::u16string(text) : u"";
}

// Forgets a window whose WM_DESTROY was sent; its children are gone already.
void forget_window(State& st, HWND window, Publication& publication) {
  WindowRecord* record = find_window(st, window);
  if (record == nullptr) return;
  if (WindowRecord* parent = find_window(st, record->parent)) {
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  st.windows.erase(detail::handle_value(window));
  const auto old_size = st.z_order.size();
  st.z_order.erase(std::remove(st.z_order.begin(), st.z_order.end(), window), st.z_order.end());
  if (st.z_order.size() != old_size) publication.add_z_order(st);
  st.posted.erase(std::remove_if(st.posted.begin(), st.posted.end(),
                                 [window](const MSG& msg) { return msg.hwnd == window; }),
                  st.posted.end());
  st.frames.erase(detail::handle_value(window));
  if (st.drag.window == window) st.drag = detail::DragState{};
  // A request whose owner is gone cannot be answered any more.
  for (auto& [id, modal] : st.modals) {
    if (modal.request.owner != nullptr && find_window(st, modal.request.owner) == nullptr) {
      modal.answered = true;
      modal.answer = ModalAnswer{};
    }
  }
  publication.destroyed.push_back(window);
}

}  // namespace

ATOM RegisterClassW(const WNDCLASSW* window_class) {
  if (window_class == nullptr || window_class->lpszClassName == nullptr ||
      window_class->lpfnWndProc == nullptr) {
    return 0;
  }
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (!detail::claim_ui_thread(st)) return 0;
  const std::u16string name = window_class->lpszClassName;
  if (name.empty() || find_class(st, name) != nullptr) return 0;
  st.classes.push_back(detail::ClassRecord{name, window_class->lpfnWndProc, window_class->style,
                                           window_class->hInstance, false});
  // Atoms of registered classes live in 0xC000..0xFFFF on Windows.
  return static_cast<ATOM>(0xC000 + st.classes.size() % 0x4000);
}

BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance) {
  if (class_name == nullptr) return FALSE;
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (!detail::on_ui_thread(st)) return FALSE;
  const std::u16string name = class_name;
  const auto found = std::find_if(st.classes.begin(), st.classes.end(), [&](const auto& record) {
    return detail::class_name_equal(record.name, name) && record.instance == instance;
  });
  if (found == st.classes.end()) return FALSE;
  for (const auto& [handle, window] : st.windows) {
    if (detail::class_name_equal(window.class_name, name)) return FALSE;  // still in use
  }
  st.classes.erase(found);
  return TRUE;
}

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE /*instance*/,
                     LPVOID /*parameter*/) {
  if (class_name == nullptr) return nullptr;
  State& st = detail::state();
  Publication publication;
  HWND handle = nullptr;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::claim_ui_thread(st)) return nullptr;
    const detail::ClassRecord* window_class = find_class(st, class_name);
    if (window_class == nullptr) return nullptr;
    const bool child = (style & WS_CHILD) != 0;
    WindowRecord* parent_record = child ? find_window(st, parent) : nullptr;
    if (child && parent_record == nullptr) return nullptr;

    handle = reinterpret_cast<HWND>(st.next_window++);
    WindowRecord record;
    record.handle = handle;
    record.class_name = window_class->name;
    record.proc = window_class->proc;
    record.class_style = window_class->style;
    record.title = text_or_empty(title);
    record.style = style;
    record.ex_style = ex_style;
    record.parent = child ? parent : nullptr;
    record.control_id = child ? detail::handle_value(menu) : 0;
    record.x = detail::held_coordinate(x);
    record.y = detail::held_coordinate(y);
    record.width = detail::held_size(width);
    record.height = detail::held_size(height);
    record.visible = (style & WS_VISIBLE) != 0;
    record.invalid = record.visible;
    record.invalid_rect = RECT{0, 0, record.width, record.height};
    if (child) {
      parent_record->children.push_back(handle);
    } else {
      st.z_order.insert(st.z_order.begin(), handle);
      publication.add_z_order(st);
    }
    const WindowRecord& stored = st.windows[detail::handle_value(handle)] = std::move(record);
    publication.display = st.display;
    publication.changed.insert(publication.changed.begin(), detail::make_view(st, stored));
  }
  publication.send();
  st.changed.notify_all();  // a window created visible waits for its first paint
  return handle;
}

BOOL DestroyWindow(HWND window) {
  State& st = detail::state();
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::on_ui_thread(st)) return FALSE;
    WindowRecord* record = find_window(st, window);
    if (record == nullptr || record->destroy_started) return FALSE;
    record->destroy_started = true;
    children = record->children;
  }
  // WM_DESTROY reaches the window before its children, as on Windows; the
  // window stays reachable by its handle while the message is handled.
  detail::call_window_proc(window, WM_DESTROY, 0, 0);
  for (HWND child : children) DestroyWindow(child);

  Publication publication;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    publication.display = st.display;
    forget_window(st, window, publication);
  }
  publication.send();
  st.changed.notify_all();
  return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
  State& st = detail::state();
  Publication publication;
  bool was_visible = false;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::on_ui_thread(st)) return FALSE;
    WindowRecord* record = find_window(st, window);
    if (record == nullptr) return FALSE;
    was_visible = record->visible;
    const bool visible = command != SW_HIDE;
    if (visible == was_visible) return was_visible ? TRUE : FALSE;
    record->visible = visible;
    if (visible) {
      record->invalid = true;
      record->invalid_rect = RECT{0, 0, record->width, record->height};
    }
    publication.display = st.display;
    publication.changed.push_back(detail::make_view(st, *record));
  }
  publication.send();
  st.changed.notify_all();
  return was_visible ? TRUE : FALSE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  const UINT flags = SWP_NOZORDER | (repaint ? 0u : SWP_NOREDRAW);
  if (!SetWindowPos(window, HWND_TOP, x, y, width, height, flags)) return FALSE;
  if (repaint) InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags) {
  State& st = detail::state();
  Publication publication;
  WINDOWPOS position{};
  bool moved = false;
  LPARAM origin = 0;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (!detail::on_ui_thread(st)) return FALSE;
    WindowRecord* record = find_window(st, window);
    if (record == nullptr) return FALSE;
    publication.display = st.display;
    const int new_x = (flags & SWP_NOMOVE) ? record->x : detail::held_coordinate(x);
    const int new_y = (flags & SWP_NOMOVE) ? record->y : detail::held_coordinate(y);
    const int new_width = (flags & SWP_NOSIZE) ? record->width : detail::held_size(width);
    const int new_height = (flags & SWP_NOSIZE) ? record->height : detail::held_size(height);
    moved = new_x != record->x || new_y != record->y;
    const bool sized = new_width != record->width || new_height != record->height;
    record->x = new_x;
    record->y = new_y;
    record->width = new_width;
    record->height = new_height;
    if (moved || sized) publication.add_window_and_children(st, *record);

    if (!(flags & SWP_NOZORDER) && record->parent == nullptr && insert_after != window) {
      auto& order = st.z_order;
      const bool after_is_top_level =
          insert_after == HWND_TOP ||
          std::find(order.begin(), order.end(), insert_after) != order.end();
      if (after_is_top_level) {
        const std::vector<HWND> before = order;
        order.erase(std::remove(order.begin(), order.end(), window), order.end());
        auto place = order.begin();
        if (insert_after != HWND_TOP) {
          place = std::find(order.begin(), order.end(), insert_after) + 1;
        }
        order.insert(place, window);
        if (order != before) publication.add_z_order(st);
      }
    }
    position = WINDOWPOS{window, insert_after, new_x, new_y, new_width, new_height, flags};
    origin = MAKELPARAM(new_x, new_y);
  }
  publication.send();
  detail::call_window_proc(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));
  if (moved) detail::call_window_proc(window, WM_MOVE, 0, origin);
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (rect == nullptr) return FALSE;
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (detail::handle_value(window) == detail::kDesktopHandle) {
    *rect = RECT{0, 0, st.desktop_width, st.desktop_height};
    return TRUE;
  }
  const WindowRecord* record = find_window(st, window);
  if (record == nullptr) return FALSE;
  *rect = detail::make_view(st, *record).rect;
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (rect == nullptr) return FALSE;
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (detail::handle_value(window) == detail::kDesktopHandle) {
    *rect = RECT{0, 0, st.desktop_width, st.desktop_height};
    return TRUE;
  }
  const WindowRecord* record = find_window(st, window);
  if (record == nullptr) return FALSE;
  *rect = RECT{0, 0, record->width, record->height};
  return TRUE;
}

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
  if (placement == nullptr) return FALSE;
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  const WindowRecord* record = find_window(st, window);
  if (record == nullptr) return FALSE;
  placement->length = sizeof(WINDOWPLACEMENT);
  placement->flags = 0;
  placement->showCmd = SW_SHOWNORMAL;
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  placement->rcNormalPosition =
      RECT{record->x, record->y, record->x + record->width, record->y + record->height};
  return TRUE;
}

HWND GetDesktopWindow() {
  return reinterpret_cast<HWND>(detail::kDesktopHandle);
}

HWND GetParent(HWND window) {
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  const WindowRecord* record = find_window(st, window);
  return record != nullptr ? record->parent : nullptr;
}

BOOL IsWindow(HWND window) {
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  return detail::handle_value(window) == detail::kDesktopHandle ||
                 find_window(st, window) != nullptr
             ? TRUE
             : FALSE;
}

BOOL IsWindowVisible(HWND window) {
  State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  const WindowRecord* record = find_window(st, window);
  return record != nullptr && detail::window_is_shown(st, *record) ? TRUE : FALSE;
}
}  // namespace korvel::win
