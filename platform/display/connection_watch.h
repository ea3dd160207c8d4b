// Ends connections that take too long to send a request's head. A client that
// trickles its headers a byte at a time holds one of the server's few workers
// for as long as it likes; a few dozen of them would shut the real tab out.
// When as many connections are open as the server has workers, one that has
// never sent a whole head and has nothing unread gets a short deadline, so
// that a new connection waits about that long, not the full deadline.
// The event streams, long by design, are left alone.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <thread>

namespace korvel::display {

class ConnectionWatch {
 public:
  // Watches the connections accepted on port (of 127.0.0.1), from a thread of
  // its own that looks at them every interval. pressed_deadline holds once
  // workers connections are open (0: never).
  ConnectionWatch(int port, std::chrono::milliseconds head_deadline,
                  std::chrono::milliseconds interval, std::size_t workers = 0,
                  std::chrono::milliseconds pressed_deadline = {});
  ~ConnectionWatch();
  ConnectionWatch(const ConnectionWatch&) = delete;
  ConnectionWatch& operator=(const ConnectionWatch&) = delete;

  // A request's head arrived on the connection from remote_port: its next
  // head has a full deadline again.
  void head_read(int remote_port);
  void stream_opened(int remote_port);
  void stream_closed(int remote_port);
  // Connections ended for being too slow, since the start.
  long ended() const;

 private:
  struct Connection {
    int fd = -1;
    std::chrono::steady_clock::time_point since;
    bool streaming = false;
    bool headed = false;  // has sent a whole request head
  };
  void run();
  void sweep();

  const int port_;
  const std::chrono::milliseconds head_deadline_;
  const std::chrono::milliseconds interval_;
  const std::size_t workers_;
  const std::chrono::milliseconds pressed_deadline_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  long ended_ = 0;
  std::map<int, Connection> connections_;  // by the remote port
  std::thread thread_;
};

}  // namespace korvel::display
