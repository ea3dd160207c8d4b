// The engine's one door to the window system: the host window's types and
// message numbers, and the two things the engine asks of the window that
// hosts a page (post work to its queue, mark it for repainting).
#pragma once

#include <cstdint>

#include "platform/win/win_types.h"

namespace korvel::engine {

using win::BOOL;
using win::BYTE;
using win::DWORD;
using win::HDC;
using win::HWND;
using win::LONG;
using win::LPARAM;
using win::LPCSTR;
using win::LPCWSTR;
using win::LPVOID;
using win::LRESULT;
using win::NMHDR;
using win::POINT;
using win::RECT;
using win::UINT;
using win::UINT_PTR;
using win::WCHAR;
using win::WPARAM;

namespace host {

// Posts a message to the window's queue, for the UI thread to dispatch later.
// Any thread.
bool post_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Marks the whole window for repainting.
void invalidate(HWND window);
// The element key the display named with the mouse message being handled; 0 for none.
std::uint32_t mouse_element_key();
// A window still 0x0 (placed before any page size was known) gets the size
// now known, centred on the desktop as a window of that size would have been
// (a window larger than the desktop at the desktop's top-left corner).
void size_unsized_window(HWND window, UINT width, UINT height);

}  // namespace host
}  // namespace korvel::engine
