// How events reach handlers. An event goes to the handlers attached to the
// element it starts at, then to those of each ancestor up to the window's root
// (across frames), then to the window-level handlers, which receive the
// event's target as their element. Only handlers subscribed to the event's
// group are called. Once a handler has answered true, later deliveries carry
// HANDLED in the record's code. Handlers may change the page: every element is
// looked up again before each delivery, and removed ones are skipped.
#pragma once

#include <cstdint>

#include "platform/engine/view.h"

namespace korvel::engine {

// The record's code field, when the group has one, gets the HANDLED flag.
bool route_bubbling(Element& start, Element* target, UINT group, void* record, UINT* code);
// To one element's handlers and then the window-level handlers, no ancestors:
// notices about the element itself, such as a change of its visibility.
bool route_to_element(Element& element, UINT group, void* record, UINT* code);
// To one element's handlers only (method calls).
bool deliver_to_element(Element& element, UINT group, void* record);

// A behaviour event sent now: record (code, source, element, reason).
bool send_behavior_event(Element& element, UINT code, Element* source, UINT_PTR reason);
// Queued for later; the window's queue wakes the engine to deliver it.
bool post_behavior_event(Element& element, UINT code, Element* source, UINT_PTR reason);
// Delivers what was posted before this call; later posts wait for the next wake.
void deliver_posted_events(View& view);

// Attach and detach notices to one handler binding.
void send_initialization(Element& element, const HandlerBinding& binding, UINT command);
// Detach notices to every handler in element's subtree (element included),
// which keeps no handlers afterwards.
void detach_subtree(Element& element);

}  // namespace korvel::engine
