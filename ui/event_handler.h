// htmlayout::event_handler, the base of every event handler, and
// ElementEventProc, the procedure the engine calls for every attached handler
// (its tag is the handler), which routes each event group to one operation.
#pragma once

#include "platform/engine/htmlayout.h"

namespace korvel::htmlayout {

using engine::HELEMENT;

class event_handler {
 public:
  explicit event_handler(engine::UINT subscription_groups) : subscription(subscription_groups) {}
  virtual ~event_handler() = default;

  virtual void element_detached(HELEMENT /*he*/) {}
  virtual void element_attached(HELEMENT /*he*/) {}
  virtual event_handler* instance_for(HELEMENT /*he*/) { return this; }

  virtual bool route_mouse(HELEMENT he, engine::MOUSE_PARAMS& params);
  virtual bool route_key(HELEMENT he, engine::KEY_PARAMS& params);
  virtual bool route_focus(HELEMENT he, engine::FOCUS_PARAMS& params);
  virtual bool route_timer(HELEMENT he, engine::TIMER_PARAMS& params);
  virtual void route_size(HELEMENT he);
  virtual bool route_scroll(HELEMENT he, engine::SCROLL_PARAMS& params);
  virtual bool route_draw(HELEMENT he, engine::DRAW_PARAMS& params);
  virtual bool route_method_call(HELEMENT he, engine::METHOD_PARAMS& params);
  virtual bool route_script_call(HELEMENT he, engine::XCALL_PARAMS& params);
  virtual bool route_behavior_event(HELEMENT he, engine::BEHAVIOR_EVENT_PARAMS& params);
  virtual bool route_data_arrived(HELEMENT he, engine::DATA_ARRIVED_PARAMS& params);
  virtual bool route_group_2000(HELEMENT /*he*/, void* /*params*/) { return false; }
  virtual bool route_group_1000(HELEMENT /*he*/, void* /*params*/) { return false; }

  virtual bool mouse_event(HELEMENT /*he*/, HELEMENT /*target*/, engine::UINT /*code*/, int /*x*/,
                           int /*y*/, engine::UINT /*buttons*/, engine::UINT /*keyboard_state*/) {
    return false;
  }
  virtual bool key_event(HELEMENT /*he*/, HELEMENT /*target*/, engine::UINT /*code*/,
                         engine::UINT /*key_code*/, engine::UINT /*keyboard_state*/) {
    return false;
  }
  virtual bool focus_event(HELEMENT /*he*/, HELEMENT /*target*/, engine::UINT /*code*/) {
    return false;
  }
  virtual bool timer_event_id(HELEMENT /*he*/, engine::UINT_PTR /*timer_id*/) { return false; }
  virtual bool timer_event(HELEMENT /*he*/) { return false; }
  virtual bool draw_event(HELEMENT /*he*/, engine::UINT /*code*/, engine::HDC /*hdc*/,
                          const engine::RECT* /*area*/) {
    return false;
  }
  virtual void size_changed(HELEMENT /*he*/) {}
  virtual bool method_call(HELEMENT /*he*/, engine::UINT /*method_id*/,
                           engine::METHOD_PARAMS* /*params*/) {
    return false;
  }
  virtual bool script_call(HELEMENT /*he*/, const char* /*method_name*/, engine::UINT /*argc*/,
                           engine::VALUE* /*argv*/, engine::VALUE* /*retval*/) {
    return false;
  }
  virtual bool behavior_event(HELEMENT /*he*/, HELEMENT /*target*/, engine::UINT /*code*/,
                              engine::UINT_PTR /*reason*/) {
    return false;
  }
  virtual bool data_arrived(HELEMENT /*he*/, HELEMENT /*initiator*/, const engine::BYTE* /*data*/,
                            engine::UINT /*size*/, engine::UINT /*data_type*/) {
    return false;
  }
  virtual bool scroll_event(HELEMENT /*he*/, HELEMENT /*target*/, engine::UINT /*code*/,
                            int /*position*/, bool /*vertical*/) {
    return false;
  }

  engine::UINT subscription;  // the engine event groups the handler wants
};

// tag: the event_handler; params: the group's record. A null tag or record
// answers false (for attach and detach without a record, nothing is called).
engine::BOOL ElementEventProc(engine::LPVOID tag, HELEMENT he, engine::UINT event_group,
                              engine::LPVOID params);

}  // namespace korvel::htmlayout
