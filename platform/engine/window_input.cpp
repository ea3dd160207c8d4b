// HTMLayoutProcND: the host window's messages as the engine takes them. Mouse
// messages go to the element the display named under the pointer, when it is
// a visible element of this window's page; otherwise to the last visible
// element in document order whose reported box holds the point (the page root
// when none does). Keys go to the focused element. A left press and release on the same
// button make a BUTTON_CLICK. The engine's own message delivers posted events
// and submitted layout reports.
#include "platform/engine/element_handles.h"
#include "platform/engine/event_routing.h"
#include "platform/engine/focus.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/layout_report.h"

namespace korvel::engine {
namespace {

int low_signed(LPARAM value) {
  return static_cast<std::int16_t>(value & 0xFFFF);
}
int high_signed(LPARAM value) {
  return static_cast<std::int16_t>((value >> 16) & 0xFFFF);
}

bool contains(const RECT& box, int x, int y) {
  return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

Element* element_at(View& view, int x, int y) {
  if (view.page == nullptr || view.page->root == nullptr) return nullptr;
  if (Element* named = lookup_uid(host::mouse_element_key())) {
    if (view_of(*named) == &view && element_visible(*named)) return named;
  }
  Element* root = view.page->root.get();
  Element* found = root->reported && root->visible && contains(root->box, x, y) ? root : nullptr;
  visit_descendants(*root, [&](Element& element) {
    if (element.reported && element.visible && contains(element.box, x, y)) found = &element;
    return false;
  });
  return found != nullptr ? found : root;
}

bool is_button(const Element& element) {
  if (element.tag == "button") return true;
  if (element.tag != "input") return false;
  const Attribute* type = find_attribute(element, "type");
  if (type == nullptr) return false;
  return type->value == u"button" || type->value == u"submit" || type->value == u"checkbox" ||
         type->value == u"radio";
}

Element* button_at_or_above(Element& element) {
  for (Element* current = &element; current != nullptr; current = parent_of(*current)) {
    if (is_button(*current)) return (current->state & STATE_DISABLED) != 0 ? nullptr : current;
  }
  return nullptr;
}

UINT mouse_keyboard_state(WPARAM wparam) {
  return ((wparam & win::MK_CONTROL) != 0 ? CONTROL_KEY_PRESSED : 0u) |
         ((wparam & win::MK_SHIFT) != 0 ? SHIFT_KEY_PRESSED : 0u);
}

bool mouse_message(View& view, UINT message, WPARAM wparam, LPARAM lparam) {
  const HWND window = view.window;
  const int x = low_signed(lparam);
  const int y = high_signed(lparam);
  Element* target = element_at(view, x, y);
  if (target == nullptr) return false;
  const std::uint32_t target_uid = target->uid;
  UINT code = MOUSE_MOVE;
  if (message == win::WM_LBUTTONDOWN) code = MOUSE_DOWN;
  if (message == win::WM_LBUTTONUP) code = MOUSE_UP;
  if (message == win::WM_LBUTTONDBLCLK) code = MOUSE_DCLICK;
  MOUSE_PARAMS record{};
  record.cmd = code;
  record.target = handle_of(target);
  record.pos = POINT{x - target->box.left, y - target->box.top};
  record.pos_document = POINT{x, y};
  record.button_state = (wparam & win::MK_LBUTTON) != 0 || code == MOUSE_UP ? MAIN_MOUSE_BUTTON : 0;
  record.alt_state = mouse_keyboard_state(wparam);
  bool handled = route_bubbling(*target, target, HANDLE_MOUSE, &record, &record.cmd);

  View* still = find_view(window);
  target = lookup_uid(target_uid);
  if (still == nullptr || target == nullptr) return handled;
  if (code == MOUSE_DOWN || code == MOUSE_DCLICK) {
    set_focus(*still, focusable_at_or_above(*target), true);
    still = find_view(window);
    target = lookup_uid(target_uid);
    if (still == nullptr || target == nullptr) return handled;
    Element* button = button_at_or_above(*target);
    still->pressed = button != nullptr ? button->uid : 0;
    return handled || button != nullptr;
  }
  if (code == MOUSE_UP) {
    Element* pressed = lookup_uid(still->pressed);
    still->pressed = 0;
    if (pressed != nullptr && button_at_or_above(*target) == pressed) {
      send_behavior_event(*pressed, BUTTON_CLICK, pressed, 0);
      return true;
    }
  }
  return handled;
}

void track_modifier(View& view, UINT message, WPARAM key) {
  UINT bit = 0;
  if (key == win::VK_CONTROL) bit = CONTROL_KEY_PRESSED;
  if (key == win::VK_SHIFT) bit = SHIFT_KEY_PRESSED;
  if (key == win::VK_MENU) bit = ALT_KEY_PRESSED;
  if (message == win::WM_KEYDOWN) view.keyboard_state |= bit;
  if (message == win::WM_KEYUP) view.keyboard_state &= ~bit;
}

bool key_message(View& view, UINT message, WPARAM wparam) {
  track_modifier(view, message, wparam);
  Element* target = focused_element(view);
  if (target == nullptr && view.page != nullptr) target = view.page->root.get();
  if (target == nullptr) return false;
  KEY_PARAMS record{};
  record.cmd = message == win::WM_KEYDOWN ? KEY_DOWN : message == win::WM_KEYUP ? KEY_UP : KEY_CHAR;
  record.target = handle_of(target);
  record.key_code = static_cast<UINT>(wparam);
  record.alt_state = view.keyboard_state;
  return route_bubbling(*target, target, HANDLE_KEY, &record, &record.cmd);
}

}  // namespace

LRESULT HTMLayoutProcND(HWND window, UINT message, WPARAM wparam, LPARAM lparam, BOOL* handled) {
  bool taken = false;
  View* view = find_view(window);
  if (message == kEngineMessage) {
    if (view != nullptr && wparam == kWakePostedEvents) deliver_posted_events(*view);
    if (wparam == kWakeLayoutReport) apply_submitted_report(window);
    taken = true;
  } else if (view != nullptr) {
    switch (message) {
      case win::WM_PAINT:
        // Taking WM_PAINT from the queue validated the window already; a
        // paint before the display laid the page out is repainted by the report.
        taken = view->page != nullptr && layout_current(*view);
        break;
      case win::WM_MOUSEMOVE:
      case win::WM_LBUTTONDOWN:
      case win::WM_LBUTTONUP:
      case win::WM_LBUTTONDBLCLK:
        taken = mouse_message(*view, message, wparam, lparam);
        break;
      case win::WM_KEYDOWN:
      case win::WM_KEYUP:
      case win::WM_CHAR:
        taken = key_message(*view, message, wparam);
        break;
      case win::WM_DESTROY:
        // The page goes with its window; its handlers hear of it first.
        if (view->page != nullptr && view->page->root != nullptr) {
          detach_subtree(*view->page->root);
        }
        forget_view(window);
        break;
      default:
        break;
    }
  }
  if (handled != nullptr) *handled = taken ? 1 : 0;
  return 0;
}

}  // namespace korvel::engine
