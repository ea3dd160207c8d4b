#include "platform/engine/host_bridge.h"

#include "platform/win/message_queue.h"
#include "platform/win/window_paint.h"

namespace korvel::engine::host {

bool post_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return win::PostMessageW(window, message, wparam, lparam) != 0;
}

void invalidate(HWND window) {
  win::InvalidateRect(window, nullptr, 0);
}

}  // namespace korvel::engine::host
