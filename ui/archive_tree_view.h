// The archive tree view: the procedure of the tree popup, which answers its
// SysTreeView32 control's notifications (expansion, selection, label edits).
#pragma once

#include "platform/win/win_types.h"

namespace korvel {

win::LRESULT TreeWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                            win::LPARAM lparam);

}  // namespace korvel
