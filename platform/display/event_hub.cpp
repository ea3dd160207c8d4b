#include "platform/display/event_hub.h"

#include <algorithm>

#include "platform/limits.h"

namespace korvel::display {

std::string sse_event(const std::string& json_text) {
  // JSON text holds no raw line breaks, so one data line carries it whole.
  return "data: " + json_text + "\n\n";
}

std::shared_ptr<EventHub::Stream> EventHub::open(std::string snapshot) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopped_ || streams_.size() >= kMaxStreams) return nullptr;
  auto stream = std::make_shared<Stream>();
  stream->queue.push_back(sse_event(snapshot));
  stream->queued_bytes = stream->queue.back().size();
  streams_.push_back(stream);
  return stream;
}

void EventHub::close(const std::shared_ptr<Stream>& stream) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stream->closed = true;
    streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
  }
  changed_.notify_all();
}

void EventHub::replace_with_snapshot(const std::shared_ptr<Stream>& stream, std::string snapshot) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stream->queue.clear();
    stream->frames.clear();
    stream->queue.push_back(sse_event(snapshot));
    stream->queued_bytes = stream->queue.back().size();
    stream->needs_snapshot = false;
  }
  changed_.notify_all();
}

void EventHub::broadcast(const std::string& json_text) {
  const std::string event = sse_event(json_text);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& stream : streams_) {
      if (stream->needs_snapshot) continue;
      if (stream->queue.size() >= kMaxQueuedEvents ||
          stream->queued_bytes + event.size() > kMaxQueuedEventBytes) {
        stream->queue.clear();
        stream->queued_bytes = 0;
        stream->frames.clear();
        stream->needs_snapshot = true;
        continue;
      }
      stream->queue.push_back(event);
      stream->queued_bytes += event.size();
    }
  }
  changed_.notify_all();
}

void EventHub::broadcast_frame(std::uintptr_t window, const std::string& json_text) {
  const std::string event = sse_event(json_text);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& stream : streams_) {
      if (!stream->needs_snapshot) stream->frames[window] = event;
    }
  }
  changed_.notify_all();
}

bool EventHub::take(const std::shared_ptr<Stream>& stream, std::string& out,
                    std::chrono::milliseconds timeout) {
  out.clear();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&] {
    return stopped_ || stream->closed || stream->needs_snapshot || !stream->queue.empty() ||
           !stream->frames.empty();
  });
  if (stopped_ || stream->closed) return false;
  if (stream->needs_snapshot) {
    lock.unlock();
    resnapshot_(stream);
    lock.lock();
  }
  for (std::string& event : stream->queue) out += event;
  stream->queue.clear();
  stream->queued_bytes = 0;
  // Frames after the changes, so a frame never names a resource not yet sent.
  for (auto& [window, event] : stream->frames) out += event;
  stream->frames.clear();
  changed_.notify_all();
  return true;
}

void EventHub::drain(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, timeout, [&] {
    return std::all_of(streams_.begin(), streams_.end(), [](const auto& stream) {
      return stream->queue.empty() && stream->frames.empty();
    });
  });
}

void EventHub::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

std::size_t EventHub::stream_count() {
  std::lock_guard<std::mutex> lock(mutex_);
  return streams_.size();
}

}  // namespace korvel::display
