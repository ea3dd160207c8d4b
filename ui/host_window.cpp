// The host window's procedure: the engine first, then keeping the popups in
// place, the drag strip, quitting, the model viewer's start and the
// sub-model checkboxes.
#include "ui/host_window.h"

#include <algorithm>

#include "formats/model_viewer.h"
#include "formats/shared_ui_state.h"
#include "platform/engine/htmlayout.h"
#include "platform/win/win32.h"
#include "ui/dom_element.h"

namespace korvel {
namespace {

// A press that the page did not take in this many top pixels drags the window.
constexpr int kDragStripHeight = 32;

win::POINT restored_origin(win::HWND window) {
  win::WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  win::GetWindowPlacement(window, &placement);
  return win::POINT{placement.rcNormalPosition.left, placement.rcNormalPosition.top};
}

void paint_rule(win::HWND window) {
  const win::POINT base = restored_origin(window);
  // Layout arrives from the display after the page changes, so the tree
  // popup follows its element on every paint, as the model popup does.
  PlacePopupOverElement(tree_popup(), g_treeElement, base, engine::VIEW_RELATIVE);

  const htmlayout::dom::element model(g_modelElement.load());
  if (!model.is_valid()) {
    g_modelElement.store(nullptr);
    win::ShowWindow(g_hwndModel, win::SW_HIDE);
    return;
  }
  const engine::RECT location = model.get_location(engine::VIEW_RELATIVE);
  const win::RECT rect{base.x + location.left, base.y + location.top, base.x + location.right,
                       base.y + location.bottom};
  g_modelRect.left.store(rect.left);
  g_modelRect.top.store(rect.top);
  g_modelRect.right.store(rect.right);
  g_modelRect.bottom.store(rect.bottom);
  win::MoveWindow(g_hwndModel, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                  win::FALSE);
  win::ShowWindow(g_hwndModel, win::SW_SHOW);
  // A viewer that finds another one running ends at once.
  win::start_thread(&ModelViewerThread);
}

void follow_move(win::LPARAM lparam) {
  const win::POINT origin{win::GET_X_LPARAM(lparam), win::GET_Y_LPARAM(lparam)};
  PlacePopupOverElement(tree_popup(), g_treeElement, origin, engine::VIEW_RELATIVE);
  PlacePopupOverElement(g_hwndModel, g_modelElement.load(), origin, engine::VIEW_RELATIVE);
}

void keep_below_tree_popup(win::HWND window, win::LPARAM lparam) {
  const auto* position = reinterpret_cast<const win::WINDOWPOS*>(lparam);
  const win::HWND popup = tree_popup();
  if (position == nullptr || position->hwndInsertAfter == popup) return;
  win::SetWindowPos(window, popup, 0, 0, 0, 0, win::SWP_NOSIZE | win::SWP_NOMOVE);
}

}  // namespace

win::LRESULT HostWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                            win::LPARAM lparam) {
  engine::BOOL handled = win::FALSE;
  const win::LRESULT result = engine::HTMLayoutProcND(window, message, wparam, lparam, &handled);
  if (handled != win::FALSE) {
    if (message == win::WM_PAINT) paint_rule(window);
    return result;
  }
  switch (message) {
    case win::WM_DESTROY:
      win::PostQuitMessage(0);
      break;
    case win::WM_MOVE:
      follow_move(lparam);
      break;
    case win::WM_WINDOWPOSCHANGED:
      keep_below_tree_popup(window, lparam);
      break;
    case win::WM_LBUTTONDOWN:
      if (win::GET_Y_LPARAM(lparam) < kDragStripHeight) {
        win::PostMessageW(g_hwndHost, win::WM_NCLBUTTONDOWN, win::HTCAPTION, lparam);
      }
      break;
    case WM_MODEL_LOADED:
      build_model_checkboxes(static_cast<unsigned>(
          std::min<win::WPARAM>(wparam, static_cast<win::WPARAM>(kMaxModelCheckboxes))));
      break;
    default:
      break;
  }
  return win::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace korvel
