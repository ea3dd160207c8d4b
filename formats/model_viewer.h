// The model viewer: a worker thread that draws the selected model turning in
// the model window, and that window's procedure.
#pragma once

#include "platform/win/win_types.h"

namespace korvel {

// Thread entry, started by the host window on each paint with a model element.
void ModelViewerThread();
win::LRESULT ModelWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                             win::LPARAM lparam);

}  // namespace korvel
