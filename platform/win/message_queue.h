// The UI thread's message queue. GetMessageW takes, in this order: posted
// messages, then input from the display, then WM_QUIT once PostQuitMessage
// was called, then WM_PAINT for a shown invalid window; otherwise it waits.
// Input that carries no message of its own (tree actions) is handled inside
// GetMessageW, as Windows handles sent messages there.
#pragma once

#include <cstdint>

#include "platform/win/win_types.h"

namespace korvel::win {

// Any thread. FALSE for a window that does not exist or a full queue.
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// UI thread only: calls the window procedure directly; 0 elsewhere.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// UI thread only, with no filter (window null, range 0..0): 1 for a message,
// 0 for WM_QUIT (its wParam is the exit code), -1 when refused.
BOOL GetMessageW(MSG* msg, HWND window, UINT first_message, UINT last_message);
// Keys arrive as virtual keys only; typing happens in the display's own
// edit boxes, so no WM_CHAR is made. Answers FALSE.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exit_code);
// The default handling: WM_NCLBUTTONDOWN with HTCAPTION starts dragging the
// window, which then follows the mouse until the left button is released;
// WM_CLOSE destroys the window.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// UI thread. The element key the display named with the mouse message
// retrieved last (MouseInput::element_key); 0 when it named none.
std::uint32_t mouse_message_element_key();

// GetMessageW without waiting: false when nothing is pending. For drivers
// and tests that need the queue drained at a known point.
bool next_pending_message(MSG* msg);

}  // namespace korvel::win
