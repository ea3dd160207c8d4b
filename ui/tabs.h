// htmlayout::tabs: stacked panels switched by a strip of tabs, by mouse,
// keyboard, the ACTIVATE_CHILD event and the script call "select". One shared
// instance, registered as "tabs"; all state lives in the page.
//
// Page structure (the tabs element is the one the behaviour is attached to):
//   tabs element > .strip > tabs, each with "panel" = the name of its panel
//   tabs element > panels, each with "name"
//   the initially selected tab carries "selected"
#pragma once

#include "ui/behavior.h"

namespace korvel::htmlayout {

class tabs : public behavior {
 public:
  tabs();

  void element_attached(HELEMENT he) override;
  bool mouse_event(HELEMENT he, HELEMENT target, engine::UINT code, int x, int y,
                   engine::UINT buttons, engine::UINT keyboard_state) override;
  bool key_event(HELEMENT he, HELEMENT target, engine::UINT code, engine::UINT key_code,
                 engine::UINT keyboard_state) override;
  bool script_call(HELEMENT he, const char* method_name, engine::UINT argc, engine::VALUE* argv,
                   engine::VALUE* retval) override;
  bool behavior_event(HELEMENT he, HELEMENT target, engine::UINT code,
                      engine::UINT_PTR reason) override;

  // The tab at or above target, below the tabs element; null when none.
  static HELEMENT tab_for_target(HELEMENT target, HELEMENT tabs_element);
  // Always true; stops quietly at anything it cannot find.
  static bool select_tab(HELEMENT tabs_element, HELEMENT tab);
  // step: -2 first, -1 previous, +1 next, +2 last; true when a tab was selected.
  static bool select_tab_by(HELEMENT tabs_element, HELEMENT current_tab, int step);
};

}  // namespace korvel::htmlayout
