// Window classes and windows: creation, destruction, geometry, visibility and
// z-order. Windows are borderless, so a window's client area is all of it.
// Functions that change windows belong to the UI thread and fail elsewhere;
// those that only read may be called from any thread.
#pragma once

#include "platform/limits.h"
#include "platform/win/win_types.h"

namespace korvel::win {

// Class names compare case-insensitively. "SysTreeView32" is always there.
ATOM RegisterClassW(const WNDCLASSW* window_class);
BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance);

// For a WS_CHILD window, parent is required and menu is its control id, and
// x, y are relative to the parent; otherwise parent (an owner) is not kept.
// New top-level windows go on top of the z-order.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter);
// Sends WM_DESTROY to the window, then to its children, and forgets them.
BOOL DestroyWindow(HWND window);

// SW_HIDE hides, every other command shows. Answers whether it was visible.
BOOL ShowWindow(HWND window, int command);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// insert_after: the window to sit directly below, or HWND_TOP; top-level
// windows only. Flags: SWP_NOSIZE, SWP_NOMOVE, SWP_NOZORDER (SWP_NOREDRAW
// changes nothing here). Sends WM_WINDOWPOSCHANGED (insert_after as given),
// then WM_MOVE with the new client origin when the window moved.
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags);

BOOL GetWindowRect(HWND window, RECT* rect);  // desktop coordinates
BOOL GetClientRect(HWND window, RECT* rect);
// rcNormalPosition: desktop coordinates for a top-level window (the work area
// is the whole desktop), parent-relative for a child.
BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
// The desktop's size comes from the display; 1280×800 until it reports.
HWND GetDesktopWindow();
HWND GetParent(HWND window);  // a child's parent; null for top-level windows
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);  // it and all its ancestors are shown

}  // namespace korvel::win
