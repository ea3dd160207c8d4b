// What the engine hands the host: notifications (data requests, behaviour
// requests) and the window-level DOM events.
#include "formats/shared_ui_state.h"
#include "formats/texture_display.h"
#include "platform/engine/htmlayout.h"
#include "platform/win/win32.h"
#include "ui/behavior.h"
#include "ui/dom_element.h"
#include "ui/element_commands.h"
#include "ui/history_panel.h"
#include "ui/host_window.h"

namespace korvel {
namespace {

constexpr char16_t kTreePanelName[] = u"panel-id2";
constexpr char16_t kHistoryPanelName[] = u"panel-history";
constexpr engine::UINT kShown = 1;

win::POINT host_window_origin() {
  win::RECT rect{};
  win::GetWindowRect(g_hwndHost, &rect);
  return win::POINT{rect.left, rect.top};
}

void tree_panel_visibility_changed(engine::UINT_PTR reason) {
  if (reason != kShown) {
    win::ShowWindow(tree_popup(), win::SW_HIDE);
    return;
  }
  const win::POINT base = host_window_origin();
  if (g_treeElement != nullptr) {
    PlacePopupOverElement(tree_popup(), g_treeElement, base, engine::ROOT_RELATIVE);
    win::ShowWindow(tree_popup(), win::SW_SHOW);
  }
  const engine::HELEMENT model = g_modelElement.load();
  if (model != nullptr) PlacePopupOverElement(g_hwndModel, model, base, engine::ROOT_RELATIVE);
  win::ShowWindow(g_hwndModel, win::SW_SHOW);
}

}  // namespace

DOMEventsHandlerType g_domEventsHandler;

win::LRESULT HostNotifyCallback(win::UINT /*message*/, win::WPARAM /*wparam*/, win::LPARAM lparam,
                                win::LPVOID /*param*/) {
  const auto* header = reinterpret_cast<const win::NMHDR*>(lparam);
  if (header == nullptr) return 0;
  switch (header->code) {
    case engine::HLN_LOAD_DATA:
      return LoadDataHandler(reinterpret_cast<engine::NMHL_LOAD_DATA*>(lparam));
    case engine::HLN_ATTACH_BEHAVIOR:
      htmlayout::attach_behavior(reinterpret_cast<engine::NMHL_ATTACH_BEHAVIOR*>(lparam));
      return 0;
    default:
      return 0;
  }
}

bool DOMEventsHandlerType::route_mouse(engine::HELEMENT /*he*/, engine::MOUSE_PARAMS& params) {
  engine::HTMLayoutSetupDebugOutput(nullptr, &DebugOutputSink);
  if (params.cmd == (engine::MOUSE_MOVE | engine::HANDLED) && g_treeElement != nullptr) {
    // Only the size follows the element here: the popup keeps its own corner.
    const htmlayout::dom::element slot(g_treeElement);
    if (!slot.is_valid()) return false;
    const engine::RECT location = slot.get_location(engine::ROOT_RELATIVE);
    const int width = location.right - location.left;
    const int height = location.bottom - location.top;
    win::RECT popup{};
    win::GetWindowRect(tree_popup(), &popup);
    win::MoveWindow(tree_popup(), popup.left, popup.top, width, height, win::FALSE);
    win::MoveWindow(g_hwndTree, 0, 0, width, height, win::FALSE);
  }
  return false;
}

bool DOMEventsHandlerType::route_behavior_event(engine::HELEMENT he,
                                                engine::BEHAVIOR_EVENT_PARAMS& params) {
  if (params.cmd == engine::BUTTON_CLICK) {
    ElementCommand(params.heTarget);
  } else if (params.cmd == engine::VISIUAL_STATUS_CHANGED) {
    engine::LPCWSTR name = nullptr;
    engine::HTMLayoutGetAttributeByName(he, "name", &name);
    if (name != nullptr && win::lstrcmpiW(name, kTreePanelName) == 0) {
      tree_panel_visibility_changed(params.reason);
    } else if (name != nullptr && win::lstrcmpiW(name, kHistoryPanelName) == 0 &&
               params.reason == kShown) {
      show_replacement_history();
    }
  }
  return false;
}

}  // namespace korvel
