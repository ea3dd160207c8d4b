#include "platform/win/frames.h"

#include <chrono>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/window_state.h"

namespace korvel::win {

std::uint64_t publish_frame(HWND window, int width, int height, const std::uint8_t* rgba) {
  if (rgba == nullptr || width <= 0 || height <= 0 || width > kMaxFrameSide ||
      height > kMaxFrameSide) {
    return 0;
  }
  const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  auto pixels = std::make_shared<const std::vector<std::uint8_t>>(rgba, rgba + bytes);
  detail::State& st = detail::state();
  std::shared_ptr<Display> display;
  std::uint64_t number = 0;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (detail::find_window(st, window) == nullptr) return 0;
    number = ++st.frames[detail::handle_value(window)].published;
    display = st.display;
  }
  if (display != nullptr) display->frame_published(window, number, width, height, pixels);
  return number;
}

bool wait_until_frame_taken(HWND window, std::uint64_t number, DWORD timeout_ms) {
  detail::State& st = detail::state();
  std::unique_lock<std::mutex> lock(st.mutex);
  return st.changed.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    if (detail::find_window(st, window) == nullptr) return true;
    const auto found = st.frames.find(detail::handle_value(window));
    return found != st.frames.end() && found->second.taken >= number;
  }) && detail::find_window(st, window) != nullptr;
}

void input_frame_taken(HWND window, std::uint64_t number) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (detail::find_window(st, window) == nullptr) return;
    auto& frame = st.frames[detail::handle_value(window)];
    // Only frames that were published can be taken.
    if (number > frame.published || number <= frame.taken) return;
    frame.taken = number;
  }
  st.changed.notify_all();
}

}  // namespace korvel::win
