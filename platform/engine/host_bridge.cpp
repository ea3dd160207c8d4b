#include "platform/engine/host_bridge.h"

#include <algorithm>

#include "platform/win/message_queue.h"
#include "platform/win/window_paint.h"
#include "platform/win/window_registry.h"

namespace korvel::engine::host {

bool post_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return win::PostMessageW(window, message, wparam, lparam) != 0;
}

void invalidate(HWND window) {
  win::InvalidateRect(window, nullptr, 0);
}

std::uint32_t mouse_element_key() {
  return win::mouse_message_element_key();
}

void size_unsized_window(HWND window, UINT width, UINT height) {
  RECT current{};
  RECT desktop{};
  if (!win::GetWindowRect(window, &current) || current.right != current.left ||
      current.bottom != current.top || width == 0 || height == 0 ||
      !win::GetClientRect(win::GetDesktopWindow(), &desktop)) {
    return;
  }
  const int w = static_cast<int>(std::min<UINT>(width, win::kMaxWindowCoordinate));
  const int h = static_cast<int>(std::min<UINT>(height, win::kMaxWindowCoordinate));
  // A page larger than the desktop keeps its top-left corner on the desktop,
  // so that the strip it is dragged by stays reachable.
  const int x = std::max<int>(desktop.left, (desktop.right - desktop.left - w) / 2);
  const int y = std::max<int>(desktop.top, (desktop.bottom - desktop.top - h) / 2);
  win::MoveWindow(window, x, y, w, h, win::FALSE);
}

}  // namespace korvel::engine::host
