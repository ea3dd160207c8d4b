#include "platform/engine/event_routing.h"

#include <vector>

#include "platform/engine/element_handles.h"
#include "platform/engine/host_bridge.h"

namespace korvel::engine {
namespace {

// Calls element's handlers for group; answers whether one answered true.
bool call_handlers(std::uint32_t uid, UINT group, void* record, UINT* code, UINT base_code,
                   bool& handled) {
  Element* element = lookup_uid(uid);
  if (element == nullptr) return false;
  const std::vector<HandlerBinding> bindings = element->handlers;
  for (const HandlerBinding& binding : bindings) {
    if ((binding.subscription & group) == 0 || binding.proc == nullptr) continue;
    if (lookup_uid(uid) == nullptr) break;
    if (code != nullptr) *code = base_code | (handled ? HANDLED : 0);
    if (binding.proc(binding.tag, handle_of(lookup_uid(uid)), group, record) != 0) handled = true;
  }
  return handled;
}

void call_window_handlers(HWND window, std::uint32_t target, UINT group, void* record, UINT* code,
                          UINT base_code, bool& handled) {
  View* view = find_view(window);
  if (view == nullptr) return;
  const std::vector<HandlerBinding> bindings = view->window_handlers;
  for (const HandlerBinding& binding : bindings) {
    if ((binding.subscription & group) == 0 || binding.proc == nullptr) continue;
    if (find_view(window) == nullptr) break;
    if (code != nullptr) *code = base_code | (handled ? HANDLED : 0);
    if (binding.proc(binding.tag, handle_of(lookup_uid(target)), group, record) != 0) {
      handled = true;
    }
  }
}

}  // namespace

bool route_bubbling(Element& start, Element* target, UINT group, void* record, UINT* code) {
  View* view = view_of(start);
  if (view == nullptr) return false;
  const HWND window = view->window;
  const UINT base_code = code != nullptr ? *code : 0;
  const std::uint32_t target_uid = target != nullptr ? target->uid : start.uid;
  std::vector<std::uint32_t> path;
  for (Element* element = &start; element != nullptr; element = parent_of(*element)) {
    path.push_back(element->uid);
  }
  bool handled = false;
  for (std::uint32_t uid : path) call_handlers(uid, group, record, code, base_code, handled);
  call_window_handlers(window, target_uid, group, record, code, base_code, handled);
  return handled;
}

bool route_to_element(Element& element, UINT group, void* record, UINT* code) {
  View* view = view_of(element);
  if (view == nullptr) return false;
  const HWND window = view->window;
  const UINT base_code = code != nullptr ? *code : 0;
  const std::uint32_t uid = element.uid;
  bool handled = false;
  call_handlers(uid, group, record, code, base_code, handled);
  call_window_handlers(window, uid, group, record, code, base_code, handled);
  return handled;
}

bool deliver_to_element(Element& element, UINT group, void* record) {
  bool handled = false;
  call_handlers(element.uid, group, record, nullptr, 0, handled);
  return handled;
}

bool send_behavior_event(Element& element, UINT code, Element* source, UINT_PTR reason) {
  BEHAVIOR_EVENT_PARAMS record{code, handle_of(source), handle_of(&element), reason};
  return route_bubbling(element, source, HANDLE_BEHAVIOR_EVENT, &record, &record.cmd);
}

bool post_behavior_event(Element& element, UINT code, Element* source, UINT_PTR reason) {
  View* view = view_of(element);
  if (view == nullptr) return false;
  view->posted.push_back(
      PostedEvent{element.uid, source != nullptr ? source->uid : 0, code, reason});
  if (!view->wake_pending) {
    view->wake_pending = host::post_message(view->window, kEngineMessage, kWakePostedEvents, 0);
  }
  return true;
}

void deliver_posted_events(View& view) {
  const HWND window = view.window;
  std::deque<PostedEvent> waiting;
  waiting.swap(view.posted);
  view.wake_pending = false;
  for (const PostedEvent& event : waiting) {
    if (find_view(window) == nullptr) return;
    Element* element = lookup_uid(event.element);
    if (element == nullptr) continue;  // removed since it was posted
    send_behavior_event(*element, event.code, lookup_uid(event.source), event.reason);
  }
}

void send_initialization(Element& element, const HandlerBinding& binding, UINT command) {
  if (binding.proc == nullptr) return;
  INITIALIZATION_PARAMS record{command};
  binding.proc(binding.tag, handle_of(&element), HANDLE_INITIALIZATION, &record);
}

void detach_subtree(Element& element) {
  std::vector<std::uint32_t> uids{element.uid};
  visit_descendants(element, [&](Element& descendant) {
    if (!descendant.handlers.empty()) uids.push_back(descendant.uid);
    return false;
  });
  for (std::uint32_t uid : uids) {
    Element* current = lookup_uid(uid);
    if (current == nullptr) continue;
    const std::vector<HandlerBinding> bindings = std::move(current->handlers);
    current->handlers.clear();
    for (const HandlerBinding& binding : bindings) {
      Element* still = lookup_uid(uid);
      if (still == nullptr) break;
      send_initialization(*still, binding, BEHAVIOR_DETACH);
    }
  }
}

}  // namespace korvel::engine
