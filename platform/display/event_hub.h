// The tabs watching korvel: one queue of server-sent events per tab. Every
// change goes to every tab in order; of a window's 3-D frames only the newest
// waits. A tab that falls too far behind gets a fresh snapshot instead of the
// events it missed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace korvel::display {

// One event in the stream's wire form ("data: ...\n\n").
std::string sse_event(const std::string& json_text);

class EventHub {
 public:
  struct Stream {
    std::deque<std::string> queue;
    std::size_t queued_bytes = 0;                  // of queue
    std::map<std::uintptr_t, std::string> frames;  // newest frame per window
    bool needs_snapshot = false;
    bool closed = false;
  };
  // Builds a snapshot for a stream that fell behind; called without the hub's
  // lock, so it may take the display's and then call replace_with_snapshot.
  using Resnapshot = std::function<void(const std::shared_ptr<Stream>&)>;

  explicit EventHub(Resnapshot resnapshot) : resnapshot_(std::move(resnapshot)) {}

  // Registers a tab whose first event is snapshot; null when too many watch.
  std::shared_ptr<Stream> open(std::string snapshot);
  void close(const std::shared_ptr<Stream>& stream);
  void replace_with_snapshot(const std::shared_ptr<Stream>& stream, std::string snapshot);
  void broadcast(const std::string& json_text);
  void broadcast_frame(std::uintptr_t window, const std::string& json_text);
  // Waits up to timeout for what the stream has to send and moves it into
  // out (empty on a timeout). False once the stream or the hub is closed.
  bool take(const std::shared_ptr<Stream>& stream, std::string& out,
            std::chrono::milliseconds timeout);
  // Waits until every stream sent what it holds, or timeout passed.
  void drain(std::chrono::milliseconds timeout);
  void stop();
  std::size_t stream_count();

 private:
  Resnapshot resnapshot_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Stream>> streams_;
  bool stopped_ = false;
};

}  // namespace korvel::display
