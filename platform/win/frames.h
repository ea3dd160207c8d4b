// Frames of windows that native code draws (the model window). The drawing
// thread publishes each finished frame; the display takes it and says so.
#pragma once

#include <cstdint>

#include "platform/win/win_types.h"

namespace korvel::win {

// Larger frames are refused rather than copied.
constexpr int kMaxFrameSide = 16384;

// Any thread. Copies width × height RGBA pixels (rows top first) and hands
// them to the display. Answers the frame's number (from 1, per window), or 0
// when refused: no such window, no pixels, or a size out of range.
std::uint64_t publish_frame(HWND window, int width, int height, const std::uint8_t* rgba);
// Waits until the display took frame number (or a later one) of window, or
// timeout_ms passed; true when taken. False at once for a window that is gone.
bool wait_until_frame_taken(HWND window, std::uint64_t number, DWORD timeout_ms);

}  // namespace korvel::win
