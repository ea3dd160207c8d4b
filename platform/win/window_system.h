// The window system as a whole: one per process, with one UI thread (the
// first thread that registers a class, creates a window or asks for a
// message), whose queue every other thread posts to.
#pragma once

namespace korvel::win {

// Forgets every window, class, tree item, queued message and input, answers
// every open modal request as cancelled, and detaches the display, without
// calling any window procedure. Threads started by the program must have
// ended. For tests, and for a run that starts over.
void reset_window_system();

}  // namespace korvel::win
