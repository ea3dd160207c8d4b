#include "platform/display/connection_watch.h"

#include <dirent.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <set>

namespace korvel::display {
namespace {

struct CloseDirectory {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

using Clock = std::chrono::steady_clock;

// The remote port of fd when it is a connection accepted on our port; -1
// for anything else (the listening socket, files, other sockets).
int accepted_remote_port(int fd, int port) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISSOCK(status.st_mode)) return -1;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
      local.sin_family != AF_INET || ntohs(local.sin_port) != port) {
    return -1;
  }
  sockaddr_in remote{};
  length = sizeof remote;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &length) != 0) return -1;
  return ntohs(remote.sin_port);
}

// Bytes received on fd that nobody has read yet.
int unread_bytes(int fd) {
  int count = 0;
  return ::ioctl(fd, FIONREAD, &count) == 0 ? count : 0;
}

}  // namespace

ConnectionWatch::ConnectionWatch(int port, std::chrono::milliseconds head_deadline,
                                 std::chrono::milliseconds interval, std::size_t workers,
                                 std::chrono::milliseconds pressed_deadline)
    : port_(port),
      head_deadline_(head_deadline),
      interval_(interval),
      workers_(workers),
      pressed_deadline_(pressed_deadline) {
  thread_ = std::thread([this] { run(); });
}

ConnectionWatch::~ConnectionWatch() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ConnectionWatch::head_read(int remote_port) {
  const std::lock_guard<std::mutex> lock(mutex_);
  Connection& connection = connections_[remote_port];
  connection.since = Clock::now();
  connection.headed = true;
}

void ConnectionWatch::stream_opened(int remote_port) {
  const std::lock_guard<std::mutex> lock(mutex_);
  connections_[remote_port].streaming = true;
}

void ConnectionWatch::stream_closed(int remote_port) {
  const std::lock_guard<std::mutex> lock(mutex_);
  connections_.erase(remote_port);
}

long ConnectionWatch::ended() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return ended_;
}

void ConnectionWatch::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
    lock.unlock();
    sweep();
    lock.lock();
  }
}

void ConnectionWatch::sweep() {
  std::map<int, int> open;  // remote port -> fd
  std::unique_ptr<DIR, CloseDirectory> listing(::opendir("/proc/self/fd"));
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd == ::dirfd(listing.get())) continue;
    const int remote_port = accepted_remote_port(fd, port_);
    if (remote_port >= 0) open[remote_port] = fd;
  }
  const Clock::time_point now = Clock::now();
  const std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = connections_.begin(); it != connections_.end();) {
    const auto found = open.find(it->first);
    // Gone, or its port now belongs to a connection on another descriptor.
    if (found == open.end() || (it->second.fd >= 0 && it->second.fd != found->second)) {
      it = connections_.erase(it);
    } else {
      ++it;
    }
  }
  // Every connection holds a worker or waits for one (a stream holds its own).
  const bool pressed = workers_ > 0 && open.size() >= workers_;
  for (const auto& [remote_port, fd] : open) {
    auto [it, added] = connections_.try_emplace(remote_port);
    Connection& connection = it->second;
    if (added) connection.since = now;
    connection.fd = fd;
    if (connection.streaming) continue;
    const Clock::duration waited = now - connection.since;
    // Under pressure: never a whole head, and nothing waiting to be read (one
    // queued for a worker has its request unread).
    const bool stalled =
        pressed && !connection.headed && waited > pressed_deadline_ && unread_bytes(fd) == 0;
    if (!stalled && waited <= head_deadline_) continue;
    // The server may have closed the descriptor since the listing and given
    // its number to a new connection: only the one judged is ended.
    if (accepted_remote_port(fd, port_) != remote_port) continue;
    // Wakes the worker blocked reading it; the server then closes it.
    ::shutdown(fd, SHUT_RDWR);
    connections_.erase(it);
    ++ended_;
  }
}

}  // namespace korvel::display
