// The korvel executable: the display server on its port, signal handling,
// and the program.
#include <pthread.h>
#include <signal.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "platform/display/display_server.h"
#include "platform/win/display.h"
#include "shell/program.h"

namespace {

constexpr int kDefaultPort = korvel::display::kDefaultPort;
constexpr int kMaxPort = 65535;

// "--port N": where the display attaches; 0 lets the system choose. False for
// anything else on the command line.
bool parse_port(int argc, char** argv, int* port) {
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    if (argument != "--port" || index + 1 >= argc) return false;
    const char* text = argv[++index];
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > kMaxPort) return false;
    *port = static_cast<int>(value);
  }
  return true;
}

// Ctrl+C and SIGTERM close the window as the user would, so the list is
// written on the usual way out. They are taken by sigwait on a thread of
// their own, never in a handler, since closing a window is no work for one.
// While a dialog waits for an answer the window cannot close that way: a
// second signal closes it anyway (the dialog ends as cancelled), and a third
// ends the process at once.
void watch_signals(sigset_t signals) {
  int received = 0;
  if (sigwait(&signals, &received) != 0) return;
  korvel::request_close();
  if (sigwait(&signals, &received) != 0) return;
  std::fprintf(stderr, "korvel: closing the window over the open dialog\n");
  korvel::force_close();
  if (sigwait(&signals, &received) != 0) return;
  std::fprintf(stderr, "korvel: stopped at once; the list was not written\n");
  std::_Exit(128 + received);
}

// glibc gives threads malloc arenas of their own, up to eight per core, and
// each arena keeps about a megabyte of freed memory for good. Every display
// worker that ever served took one: over a long session korvel's memory grew
// by half (16.7 to 26.4 MiB over 600 selections); with one arena per core it
// stays flat. The workers allocate little, so sharing costs nothing measurable.
void limit_malloc_arenas() {
#if defined(__GLIBC__)
  const unsigned cores = std::thread::hardware_concurrency();
  mallopt(M_ARENA_MAX, static_cast<int>(cores > 2 ? cores : 2));
#endif
}

}  // namespace

int main(int argc, char** argv) {
  limit_malloc_arenas();
  int port = kDefaultPort;
  if (!parse_port(argc, argv, &port)) {
    std::fprintf(stderr, "usage: korvel [--port N]   (N from 0 to %d; default %d)\n", kMaxPort,
                 kDefaultPort);
    return 2;
  }

  // Blocked before any thread starts, so that every thread inherits the mask
  // and only the watcher takes them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  // The screen is installed before the first window and stays until the
  // program ended, past every dialog it can open.
  std::string error;
  std::unique_ptr<korvel::display::DisplayServer> server =
      korvel::display::DisplayServer::start(port, error);
  if (server == nullptr) {
    std::fprintf(stderr, "korvel: %s\n", error.c_str());
    return 1;
  }
  korvel::win::set_display(server->display());
  std::printf("korvel: open %s in a browser\n", server->address().c_str());
  std::fflush(stdout);
  std::thread(watch_signals, signals).detach();

  const int exit_code = korvel::korvel_main();
  korvel::win::set_display(nullptr);
  server->finish(exit_code);
  return exit_code;
}
