// Keeping the native popups over their page elements, and placing the host.
#include <algorithm>

#include "formats/shared_ui_state.h"
#include "platform/engine/htmlayout.h"
#include "platform/win/win32.h"
#include "ui/dom_element.h"
#include "ui/host_window.h"

namespace korvel {

win::HWND tree_popup() {
  return g_hwndTree != nullptr ? win::GetParent(g_hwndTree) : nullptr;
}

bool PlacePopupOverElement(win::HWND popup, engine::HELEMENT element, win::POINT base,
                           engine::UINT location_kind) {
  const htmlayout::dom::element slot(element);
  if (!slot.is_valid()) return false;
  const engine::RECT location = slot.get_location(location_kind);
  const int width = location.right - location.left;
  const int height = location.bottom - location.top;
  win::MoveWindow(popup, base.x + location.left, base.y + location.top, width, height, win::FALSE);
  if (popup != nullptr && popup == tree_popup()) {
    win::MoveWindow(g_hwndTree, 0, 0, width, height, win::FALSE);
  }
  return true;
}

void centre_host_on_desktop() {
  win::RECT desktop{};
  win::GetClientRect(win::GetDesktopWindow(), &desktop);
  // Sizes are held to the window system's limit so that the arithmetic
  // below stays within int whatever the engine answers.
  const auto held = [](win::UINT size) {
    return static_cast<int>(std::min<win::UINT>(size, win::kMaxWindowCoordinate));
  };
  const win::UINT min_width = engine::HTMLayoutGetMinWidth(g_hwndHost);
  const int width = held(min_width);
  const int height = held(engine::HTMLayoutGetMinHeight(g_hwndHost, min_width));
  int x = (desktop.right - desktop.left - width) / 2;
  int y = (desktop.bottom - desktop.top - height) / 2;
  if (x < desktop.left) x = desktop.left;
  if (y < desktop.top) y = desktop.top;
  win::MoveWindow(g_hwndHost, x, y, width, height, win::FALSE);
}

}  // namespace korvel
