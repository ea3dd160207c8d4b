#include "archive/console_message.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace korvel {
namespace {

void print_to_stderr(const char* command_line) {
  std::fprintf(stderr, "%s\n", console_message_text(command_line).c_str());
}

std::atomic<ConsoleMessageHandler> g_handler{&print_to_stderr};

}  // namespace

ConsoleMessageHandler set_console_message_handler(ConsoleMessageHandler handler) {
  return g_handler.exchange(handler != nullptr ? handler : &print_to_stderr);
}

void show_console_message(const char* command_line) {
  if (command_line == nullptr) return;
  g_handler.load()(command_line);
}

std::string console_message_text(const char* command_line) {
  if (command_line == nullptr) return {};
  std::string text = command_line;
  for (const char* prefix : {"pause | ", "echo "}) {
    if (text.compare(0, std::strlen(prefix), prefix) == 0) text.erase(0, std::strlen(prefix));
  }
  return text;
}

}  // namespace korvel
