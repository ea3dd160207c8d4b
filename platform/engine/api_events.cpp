// The engine interface's events: sending, posting, method calls and
// element-level handlers.
#include "platform/engine/element_handles.h"
#include "platform/engine/event_routing.h"
#include "platform/engine/htmlayout.h"

namespace korvel::engine {

HLDOM_RESULT HTMLayoutSendEvent(HELEMENT he, UINT code, HELEMENT source, UINT_PTR reason,
                                BOOL* handled) {
  if (handled != nullptr) *handled = 0;
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  const bool taken = send_behavior_event(*element, code, lookup_element(source), reason);
  if (handled != nullptr) *handled = taken ? 1 : 0;
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutPostEvent(HELEMENT he, UINT code, HELEMENT source, UINT_PTR reason) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  return post_behavior_event(*element, code, lookup_element(source), reason)
             ? HLDOM_OK
             : HLDOM_OPERATION_FAILED;
}

HLDOM_RESULT HTMLayoutCallBehaviorMethod(HELEMENT he, METHOD_PARAMS* params) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (params == nullptr) return HLDOM_INVALID_PARAMETER;
  return deliver_to_element(*element, HANDLE_METHOD_CALL, params) ? HLDOM_OK : HLDOM_OK_NOT_HANDLED;
}

HLDOM_RESULT HTMLayoutAttachEventHandlerEx(HELEMENT he, LPELEMENT_EVENT_PROC proc, LPVOID tag,
                                           UINT subscription) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (proc == nullptr) return HLDOM_INVALID_PARAMETER;
  for (const HandlerBinding& binding : element->handlers) {
    if (binding.proc == proc && binding.tag == tag) return HLDOM_OK;
  }
  const HandlerBinding binding{proc, tag, subscription};
  element->handlers.push_back(binding);
  send_initialization(*element, binding, BEHAVIOR_ATTACH);
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutDetachEventHandler(HELEMENT he, LPELEMENT_EVENT_PROC proc, LPVOID tag) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  for (auto it = element->handlers.begin(); it != element->handlers.end(); ++it) {
    if (it->proc == proc && it->tag == tag) {
      const HandlerBinding binding = *it;
      element->handlers.erase(it);
      send_initialization(*element, binding, BEHAVIOR_DETACH);
      return HLDOM_OK;
    }
  }
  return HLDOM_INVALID_PARAMETER;
}

}  // namespace korvel::engine
