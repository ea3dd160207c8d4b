// Everything the program's window code calls, in one include.
#pragma once

#include "platform/win/frames.h"
#include "platform/win/message_queue.h"
#include "platform/win/modal_dialogs.h"
#include "platform/win/module_path.h"
#include "platform/win/text_conversion.h"
#include "platform/win/threads_clock.h"
#include "platform/win/tree_view.h"
#include "platform/win/win_types.h"
#include "platform/win/window_paint.h"
#include "platform/win/window_registry.h"
#include "platform/win/window_system.h"
