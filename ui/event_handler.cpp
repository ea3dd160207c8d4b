#include "ui/event_handler.h"

namespace korvel::htmlayout {

bool event_handler::route_mouse(HELEMENT he, engine::MOUSE_PARAMS& params) {
  return mouse_event(he, params.target, params.cmd, params.pos.x, params.pos.y, params.button_state,
                     params.alt_state);
}

bool event_handler::route_key(HELEMENT he, engine::KEY_PARAMS& params) {
  return key_event(he, params.target, params.cmd, params.key_code, params.alt_state);
}

bool event_handler::route_focus(HELEMENT he, engine::FOCUS_PARAMS& params) {
  return focus_event(he, params.target, params.cmd);
}

bool event_handler::route_timer(HELEMENT he, engine::TIMER_PARAMS& params) {
  return params.timerId != 0 ? timer_event_id(he, params.timerId) : timer_event(he);
}

void event_handler::route_size(HELEMENT he) {
  size_changed(he);
}

bool event_handler::route_scroll(HELEMENT he, engine::SCROLL_PARAMS& params) {
  return scroll_event(he, params.target, params.cmd, params.pos, params.vertical != 0);
}

bool event_handler::route_draw(HELEMENT he, engine::DRAW_PARAMS& params) {
  return draw_event(he, params.cmd, params.hdc, &params.area);
}

bool event_handler::route_method_call(HELEMENT he, engine::METHOD_PARAMS& params) {
  return method_call(he, params.methodID, &params);
}

bool event_handler::route_script_call(HELEMENT he, engine::XCALL_PARAMS& params) {
  return script_call(he, params.method_name, params.argc, params.argv, &params.retval);
}

bool event_handler::route_behavior_event(HELEMENT he, engine::BEHAVIOR_EVENT_PARAMS& params) {
  return behavior_event(he, params.heTarget, params.cmd, params.reason);
}

bool event_handler::route_data_arrived(HELEMENT he, engine::DATA_ARRIVED_PARAMS& params) {
  return data_arrived(he, params.initiator, params.data, params.dataSize, params.dataType);
}

engine::BOOL ElementEventProc(engine::LPVOID tag, HELEMENT he, engine::UINT event_group,
                              engine::LPVOID params) {
  auto* handler = static_cast<event_handler*>(tag);
  if (handler == nullptr) return 0;
  if (params == nullptr && event_group != engine::HANDLE_SIZE) return 0;
  bool answer = false;
  switch (event_group) {
    case engine::HANDLE_INITIALIZATION: {
      const auto& record = *static_cast<engine::INITIALIZATION_PARAMS*>(params);
      if (record.cmd == engine::BEHAVIOR_DETACH) handler->element_detached(he);
      if (record.cmd == engine::BEHAVIOR_ATTACH) handler->element_attached(he);
      answer = true;
      break;
    }
    case engine::HANDLE_MOUSE:
      answer = handler->route_mouse(he, *static_cast<engine::MOUSE_PARAMS*>(params));
      break;
    case engine::HANDLE_KEY:
      answer = handler->route_key(he, *static_cast<engine::KEY_PARAMS*>(params));
      break;
    case engine::HANDLE_FOCUS:
      answer = handler->route_focus(he, *static_cast<engine::FOCUS_PARAMS*>(params));
      break;
    case engine::HANDLE_SCROLL:
      answer = handler->route_scroll(he, *static_cast<engine::SCROLL_PARAMS*>(params));
      break;
    case engine::HANDLE_TIMER:
      answer = handler->route_timer(he, *static_cast<engine::TIMER_PARAMS*>(params));
      break;
    case engine::HANDLE_SIZE:
      handler->route_size(he);
      break;
    case engine::HANDLE_DRAW:
      answer = handler->route_draw(he, *static_cast<engine::DRAW_PARAMS*>(params));
      break;
    case engine::HANDLE_DATA_ARRIVED:
      answer = handler->route_data_arrived(he, *static_cast<engine::DATA_ARRIVED_PARAMS*>(params));
      break;
    case engine::HANDLE_BEHAVIOR_EVENT:
      answer =
          handler->route_behavior_event(he, *static_cast<engine::BEHAVIOR_EVENT_PARAMS*>(params));
      break;
    case engine::HANDLE_METHOD_CALL: {
      auto* record = static_cast<engine::METHOD_PARAMS*>(params);
      answer = record->methodID == engine::XCALL
                   ? handler->route_script_call(he, *static_cast<engine::XCALL_PARAMS*>(record))
                   : handler->route_method_call(he, *record);
      break;
    }
    case engine::HANDLE_EXCHANGE:
      answer = handler->route_group_1000(he, params);
      break;
    case engine::HANDLE_GESTURE:
      answer = handler->route_group_2000(he, params);
      break;
    default:
      break;
  }
  return answer ? 1 : 0;
}

}  // namespace korvel::htmlayout
