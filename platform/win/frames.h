// What the 3-D device of a native window (the model window) hands the screen:
// its resources, and each frame it presents as a list of commands. The
// drawing thread publishes; the display draws and says which frame it took.
#pragma once

#include <cstdint>

#include "platform/limits.h"
#include "platform/win/device_frames.h"
#include "platform/win/win_types.h"

namespace korvel::win {

// Any thread. A fresh resource id, never 0 and never used before.
std::uint64_t new_device_resource_id();
// Any thread. Hands a resource to the display; false for a window that is
// gone, an id of 0 or a resource without bytes.
bool publish_device_resource(HWND window, const DeviceResource& resource);
void release_device_resource(HWND window, std::uint64_t id);
// Any thread. Numbers the frame (from 1, per window) and hands it to the
// display; answers its number, or 0 when refused: no such window, or a back
// buffer out of range.
std::uint64_t publish_frame(HWND window, DeviceFrame frame);
// Waits until the display took frame number (or a later one) of window, or
// timeout_ms passed; true when taken. False at once for a window that is gone.
bool wait_until_frame_taken(HWND window, std::uint64_t number, DWORD timeout_ms);

}  // namespace korvel::win
