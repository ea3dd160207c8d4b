// The display server: HTTP on 127.0.0.1 only, serving the client, the event
// stream, input, delivered data, 3-D resources and directory listings to a
// browser that shows the token printed at start. HTTP threads never touch UI
// state: input is queued for the UI thread, modal answers wake their caller.
#pragma once

#include <memory>
#include <string>

#include "platform/display/browser_display.h"

namespace korvel::display {

constexpr int kDefaultPort = 8420;

class DisplayServer {
 public:
  // Binds 127.0.0.1:port (0 picks a free port) and serves on threads of its
  // own. Null, with the reason in error, when that fails.
  static std::unique_ptr<DisplayServer> start(int port, std::string& error);
  ~DisplayServer();
  DisplayServer(const DisplayServer&) = delete;
  DisplayServer& operator=(const DisplayServer&) = delete;

  int port() const;
  // The address to open, with the token.
  std::string address() const;
  std::shared_ptr<BrowserDisplay> display() const;
  // Tells the tabs korvel ended, gives them a moment to hear it, and stops.
  void finish(int exit_code);
  void stop();

 private:
  struct Impl;
  explicit DisplayServer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvel::display
