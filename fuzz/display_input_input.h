// What fuzz_display_input does with one input, shared with the corpus replay
// test: the bytes as the body of POST /input. The answer is 204 or a 400
// that says what was wrong, and a refused body changes nothing: no input is
// queued for the UI thread and the desktop keeps its size.
#pragma once

#include <cstdint>
#include <string>

#include "platform/display/input_decoder.h"
#include "platform/win/window_state.h"

namespace korvel::fuzz {

// False when a law broke; the sanitizers catch the rest.
inline bool run_display_input(const std::uint8_t* data, std::size_t size) {
  win::detail::State& st = win::detail::state();
  {  // No window exists, so what was queued would only pile up until the cap.
    std::lock_guard<std::mutex> lock(st.mutex);
    st.input.clear();
    st.desktop_width = win::detail::kDefaultDesktopWidth;
    st.desktop_height = win::detail::kDefaultDesktopHeight;
  }
  display::ModifierState modifiers;
  const display::InputOutcome outcome =
      display::apply_input(std::string(reinterpret_cast<const char*>(data), size), modifiers);
  if (outcome.status == 204) return outcome.error.empty();
  std::lock_guard<std::mutex> lock(st.mutex);
  return outcome.status == 400 && !outcome.error.empty() && st.input.empty() &&
         st.desktop_width == win::detail::kDefaultDesktopWidth &&
         st.desktop_height == win::detail::kDefaultDesktopHeight;
}

}  // namespace korvel::fuzz
