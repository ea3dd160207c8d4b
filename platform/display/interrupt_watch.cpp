#include "platform/display/interrupt_watch.h"

#include <csignal>
#include <cstdlib>
#include <thread>

namespace korvel::display {

void watch_interrupts(std::function<void()> on_interrupt) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  std::thread([signals, on_interrupt = std::move(on_interrupt)] {
    int taken = 0;
    if (sigwait(&signals, &taken) != 0) return;
    on_interrupt();
    if (sigwait(&signals, &taken) != 0) return;
    std::_Exit(128 + taken);
  }).detach();
}

}  // namespace korvel::display
