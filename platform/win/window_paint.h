// Invalid regions and painting. A window that is invalid and shown gets one
// WM_PAINT when its queue has nothing else, however often it was invalidated
// before; retrieving that WM_PAINT validates it, so a procedure that never
// calls BeginPaint does not get WM_PAINT again until something invalidates it.
#pragma once

#include "platform/win/win_types.h"

namespace korvel::win {

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);  // null rect: all of it
// rcPaint is what the current WM_PAINT covers. Nothing is drawn through the
// answered device context; native drawing reaches the display as frames.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

}  // namespace korvel::win
