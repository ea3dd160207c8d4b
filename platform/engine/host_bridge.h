// The engine's one door to the window system: the host window's types and
// message numbers, and the three things the engine asks of the window that
// hosts a document (post work to its queue, mark it for repainting, take a
// paint as done).
#pragma once

#include <cstdint>

// Until the window system lands, its types are repeated here with the same
// definitions; this block becomes one #include of its header then.
namespace korvel::win {

using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using BOOL = int;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using LPCSTR = const char*;
using LPVOID = void*;

struct HWND__;
using HWND = HWND__*;
struct HDC__;
using HDC = HDC__*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;

}  // namespace korvel::win

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

// Keys the engine tracks itself for the keyboard state of its events.
constexpr UINT kVkShift = 0x10;
constexpr UINT kVkControl = 0x11;
constexpr UINT kVkMenu = 0x12;
// Mouse message wParam flags.
constexpr WPARAM kMkLeftButton = 0x0001;
constexpr WPARAM kMkShift = 0x0004;
constexpr WPARAM kMkControl = 0x0008;

namespace host {

// Posts a message to the window's queue, for the UI thread to dispatch later.
// Any thread.
bool post_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Marks the whole window for repainting.
void invalidate(HWND window);
// Takes the pending paint of the window as done.
void validate(HWND window);

// Until the window system lands, a test stands in for it here.
struct Calls {
  bool (*post_message)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  void (*invalidate)(HWND) = nullptr;
  void (*validate)(HWND) = nullptr;
};
void set_calls(const Calls& calls);

}  // namespace host
}  // namespace korvel::engine
