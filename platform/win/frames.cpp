#include "platform/win/frames.h"

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/window_registry.h"
#include "platform/win/window_state.h"

namespace korvel::win {

namespace {

std::shared_ptr<Display> display_of_live_window(HWND window) {
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  if (detail::find_window(st, window) == nullptr) return nullptr;
  return st.display;
}

}  // namespace

std::uint64_t new_device_resource_id() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

bool publish_device_resource(HWND window, const DeviceResource& resource) {
  if (resource.id == 0 || resource.bytes == nullptr || !IsWindow(window)) return false;
  if (auto display = display_of_live_window(window))
    display->device_resource_created(window, resource);
  return true;
}

void release_device_resource(HWND window, std::uint64_t id) {
  if (id == 0) return;
  if (auto display = display_of_live_window(window)) display->device_resource_released(window, id);
}

std::uint64_t publish_frame(HWND window, DeviceFrame frame) {
  if (frame.width <= 0 || frame.height <= 0 || frame.width > kMaxFrameSide ||
      frame.height > kMaxFrameSide) {
    return 0;
  }
  detail::State& st = detail::state();
  std::shared_ptr<Display> display;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (detail::find_window(st, window) == nullptr) return 0;
    frame.number = ++st.frames[detail::handle_value(window)].published;
    display = st.display;
  }
  if (display != nullptr) display->frame_published(window, frame);
  return frame.number;
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
