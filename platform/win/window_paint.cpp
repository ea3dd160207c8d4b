#include "platform/win/window_paint.h"

#include <algorithm>

#include "platform/win/window_registry.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

RECT unite(const RECT& first, const RECT& second) {
  return RECT{std::min(first.left, second.left), std::min(first.top, second.top),
              std::max(first.right, second.right), std::max(first.bottom, second.bottom)};
}

}  // namespace

namespace detail {

bool take_paint(State& st, MSG* msg) {
  for (auto& [handle, record] : st.windows) {
    if (!record.invalid || !window_is_shown(st, record)) continue;
    record.invalid = false;
    record.painting = true;
    record.paint_rect = record.invalid_rect;
    *msg = MSG{record.handle, WM_PAINT, 0, 0, 0, st.cursor};
    return true;
  }
  return false;
}

}  // namespace detail

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL /*erase*/) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    detail::WindowRecord* record = detail::find_window(st, window);
    if (record == nullptr) return FALSE;
    const RECT client{0, 0, record->width, record->height};
    RECT area = client;
    if (rect != nullptr) {
      area = RECT{std::max(rect->left, client.left), std::max(rect->top, client.top),
                  std::min(rect->right, client.right), std::min(rect->bottom, client.bottom)};
      if (area.left >= area.right || area.top >= area.bottom) return TRUE;  // nothing to paint
    }
    record->invalid_rect = record->invalid ? unite(record->invalid_rect, area) : area;
    record->invalid = true;
  }
  st.changed.notify_all();
  return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (paint == nullptr) return nullptr;
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  detail::WindowRecord* record = detail::find_window(st, window);
  if (record == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  if (record->painting) {
    paint->rcPaint = record->paint_rect;
  } else if (record->invalid) {
    paint->rcPaint = record->invalid_rect;
  }
  record->painting = false;
  record->invalid = false;
  // A device context that draws nothing; its value only has to be non-null.
  paint->hdc = reinterpret_cast<HDC>(detail::handle_value(window));
  return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  return paint != nullptr && IsWindow(window) ? TRUE : FALSE;
}

}  // namespace korvel::win
