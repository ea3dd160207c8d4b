// POST /input: one JSON object per request, naming what the user did. Every
// field is checked before anything happens, so a malformed request changes
// nothing; a valid one is handed to the window system's input functions,
// which queue it for the UI thread (or wake a caller waiting on a modal).
#pragma once

#include <mutex>
#include <string>

namespace korvel::display {

struct InputOutcome {
  int status = 204;
  std::string error;  // for a 4xx, what was wrong
};

// Modifier keys as the window system last heard of them. Key and mouse input
// carries the browser's modifier state; a difference is sent as key presses
// or releases first, so a modifier released while the tab was in the
// background does not stay down.
class ModifierState {
 public:
  void sync(std::uintptr_t window, bool control, bool shift, bool alt);

 private:
  std::mutex mutex_;
  bool control_ = false;
  bool shift_ = false;
  bool alt_ = false;
};

InputOutcome apply_input(const std::string& body, ModifierState& modifiers);

}  // namespace korvel::display
