#include "ui/archive_tree_view.h"

#include "platform/win/win32.h"

namespace korvel {

win::LRESULT TreeWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                            win::LPARAM lparam) {
  return win::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace korvel
