// Threads, sleeping and the millisecond clock.
#pragma once

#include "platform/win/win_types.h"

namespace korvel::win {

using ThreadEntry = void (*)();

// Starts entry on a new thread with the default stack size and no argument;
// the thread ends when entry returns. False when it could not start.
bool start_thread(ThreadEntry entry);
// Waits until every thread started above has ended, or timeout_ms passed;
// true when none is left. For the end of a run and for tests.
bool wait_for_threads(DWORD timeout_ms);

void Sleep(DWORD milliseconds);
// Milliseconds since an arbitrary start, wrapping at 2^32, as winmm's clock.
DWORD timeGetTime();

}  // namespace korvel::win
