// The HTML host window: its procedure, the engine's notification callback,
// the window-level DOM event handler, the engine's debug output, and the rule
// that keeps the tree popup and the model popup over their page elements.
#pragma once

#include "platform/engine/htmlayout_types.h"
#include "platform/win/win_types.h"
#include "ui/event_handler.h"

namespace korvel {

win::LRESULT HostWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                            win::LPARAM lparam);

// lparam points to the engine's notification record.
win::LRESULT HostNotifyCallback(win::UINT message, win::WPARAM wparam, win::LPARAM lparam,
                                win::LPVOID param);

// Button clicks, the visibility of the tree's panel, and handled mouse moves.
// Never consumes an event.
class DOMEventsHandlerType : public htmlayout::event_handler {
 public:
  DOMEventsHandlerType() : event_handler(0xFFFFFFFFu) {}

  bool route_mouse(engine::HELEMENT he, engine::MOUSE_PARAMS& params) override;
  bool route_behavior_event(engine::HELEMENT he, engine::BEHAVIOR_EVENT_PARAMS& params) override;
};

// The one instance start-up attaches to the host window.
extern DOMEventsHandlerType g_domEventsHandler;

// One UTF-16 unit of the engine's debug output, written to standard output.
void DebugOutputSink(win::LPVOID param, win::WCHAR character);

// Moves popup so that it covers element's location (of the given kind) offset
// by base; for the tree popup, the tree control then fills it. A null or
// removed element moves nothing. Answers whether the element was usable.
bool PlacePopupOverElement(win::HWND popup, engine::HELEMENT element, win::POINT base,
                           engine::UINT location_kind);

// The tree popup: the parent of the tree control.
win::HWND tree_popup();

// Centres the host on the desktop at the page's minimum size. A page larger
// than the desktop keeps its top-left corner on the desktop, so that its drag
// strip stays reachable.
void centre_host_on_desktop();

// The largest number of sub-model checkboxes built: one per visibility flag.
constexpr unsigned kMaxModelCheckboxes = 4096;

// Fills "div_model_show_checkbox" of the page that holds the model element
// with one checkbox per sub-model.
void build_model_checkboxes(unsigned submodel_count);

}  // namespace korvel
