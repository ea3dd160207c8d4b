#include "ui/behavior.h"

#include <cstring>

namespace korvel::htmlayout {

behavior::behavior(engine::UINT subscription_groups, const char* behavior_name)
    : event_handler(subscription_groups), next(BehaviorRegistry), name(behavior_name) {
  BehaviorRegistry = this;
}

bool attach_behavior(engine::NMHL_ATTACH_BEHAVIOR* request) {
  if (request == nullptr || request->behaviorName == nullptr) return false;
  for (behavior* candidate = BehaviorRegistry; candidate != nullptr; candidate = candidate->next) {
    if (candidate->name == nullptr || std::strcmp(candidate->name, request->behaviorName) != 0) {
      continue;
    }
    event_handler* handler = candidate->instance_for(request->element);
    if (handler == nullptr) return false;
    request->elementProc = ElementEventProc;
    request->elementTag = handler;
    request->elementEvents = handler->subscription;
    return true;
  }
  return false;
}

}  // namespace korvel::htmlayout
