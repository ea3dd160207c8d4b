// Format warnings of the decoders ("pause | echo ..." command lines). The
// program installs how they reach the user: the command-line tools print the
// text and go on; the window shows it and waits until it is acknowledged.
#pragma once

#include <string>

namespace korvel {

using ConsoleMessageHandler = void (*)(const char* command_line);

// Installs the handler and returns the previous one; nullptr restores the
// default, which prints the text on standard error.
ConsoleMessageHandler set_console_message_handler(ConsoleMessageHandler handler);

// Hands a decoder's command line to the installed handler; returns when the
// user has acknowledged it.
void show_console_message(const char* command_line);

// The text a command line shows: without its "pause | " and "echo " prefixes.
std::string console_message_text(const char* command_line);

}  // namespace korvel
