// The engine's focus: one element per window, marked with STATE_FOCUS. A press
// gives it to the nearest focusable element at or above the pressed one:
// elements with a "tabindex", form controls, and elements that ask for a
// behaviour. Keys go to the focused element, or to the page root without one.
#pragma once

#include "platform/engine/view.h"

namespace korvel::engine {

bool is_focusable(const Element& element);
Element* focusable_at_or_above(Element& element);
Element* focused_element(const View& view);
// Moves the focus (null: nowhere), sending FOCUS_LOST and FOCUS_GOT.
void set_focus(View& view, Element* element, bool by_mouse);

}  // namespace korvel::engine
