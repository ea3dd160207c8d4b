#include "platform/engine/focus.h"

#include "platform/engine/element_handles.h"
#include "platform/engine/event_routing.h"
#include "platform/engine/page_changes.h"

namespace korvel::engine {

bool is_focusable(const Element& element) {
  if ((element.state & STATE_DISABLED) != 0) return false;
  if (find_attribute(element, "tabindex") != nullptr) return true;
  if (find_attribute(element, "behavior") != nullptr) return true;
  const std::string& tag = element.tag;
  return tag == "button" || tag == "input" || tag == "select" || tag == "textarea";
}

Element* focusable_at_or_above(Element& element) {
  for (Element* current = &element; current != nullptr; current = parent_of(*current)) {
    if (is_focusable(*current)) return current;
  }
  return nullptr;
}

Element* focused_element(const View& view) {
  return lookup_uid(view.focus);
}

void set_focus(View& view, Element* element, bool by_mouse) {
  const HWND window = view.window;
  Element* old = focused_element(view);
  if (old == element) return;
  const std::uint32_t new_uid = element != nullptr ? element->uid : 0;
  view.focus = new_uid;
  if (old != nullptr) {
    old->state &= ~STATE_FOCUS;
    touch(*old);  // the display shows the focus, so losing it is a change too
    FOCUS_PARAMS record{FOCUS_LOST, handle_of(old), by_mouse ? 1 : 0, 0};
    route_bubbling(*old, old, HANDLE_FOCUS, &record, &record.cmd);
  }
  // A handler may have moved the focus elsewhere, or removed the element.
  View* still = find_view(window);
  Element* target = lookup_uid(new_uid);
  if (still == nullptr || target == nullptr || still->focus != new_uid) return;
  target->state |= STATE_FOCUS;
  touch(*target);
  FOCUS_PARAMS record{FOCUS_GOT, handle_of(target), by_mouse ? 1 : 0, 0};
  route_bubbling(*target, target, HANDLE_FOCUS, &record, &record.cmd);
}

}  // namespace korvel::engine
