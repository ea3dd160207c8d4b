// htmlayout::behavior, a named event handler that registers itself in the
// process-wide BehaviorRegistry when it is constructed, and the lookup that
// answers the engine's request to attach a behaviour by name. Behaviours are
// static objects, made before the program's entry point and never removed.
#pragma once

#include "ui/event_handler.h"

namespace korvel::htmlayout {

class behavior : public event_handler {
 public:
  behavior(engine::UINT subscription_groups, const char* behavior_name);

  behavior* next;    // the behaviour constructed before this one
  const char* name;  // not owned
};

// The newest behaviour; the others follow through next. Constant-initialised,
// so it is null before any static behaviour is constructed.
inline behavior* BehaviorRegistry = nullptr;

// Finds the newest behaviour named exactly request->behaviorName (case
// matters) and fills the request with ElementEventProc, the handler its
// instance_for answers and that handler's subscription; answers false, and
// leaves the request untouched, when there is none.
bool attach_behavior(engine::NMHL_ATTACH_BEHAVIOR* request);

}  // namespace korvel::htmlayout
