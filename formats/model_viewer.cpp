#include "formats/model_viewer.h"

#include "platform/win/win32.h"

namespace korvel {

void ModelViewerThread() {}

win::LRESULT ModelWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                             win::LPARAM lparam) {
  if (message == win::WM_DESTROY) win::PostQuitMessage(0);
  return win::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace korvel
