// Ctrl+C (SIGINT) and SIGTERM end korvel the way closing its window does:
// a watcher thread takes the signal and calls on_interrupt, which queues the
// close for the UI thread, so the list document is still saved. A second
// signal while the first is being handled ends the process at once.
#pragma once

#include <functional>

namespace korvel::display {

// Call before any other thread starts, so that every thread inherits the
// blocked signals and only the watcher receives them.
void watch_interrupts(std::function<void()> on_interrupt);

}  // namespace korvel::display
