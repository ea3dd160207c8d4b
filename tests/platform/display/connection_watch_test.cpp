// A connection that sends no request head within the deadline is ended; an
// event stream and a connection that keeps sending heads are not.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/display/connection_watch.h"

namespace korvel::display {
namespace {

using std::chrono::milliseconds;

struct Accepted {
  int client = -1;
  int server = -1;
  int remote_port = -1;
};

Accepted connect_to(int listener, int port) {
  Accepted pair;
  pair.client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(pair.client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  pair.server = accept(listener, nullptr, nullptr);
  sockaddr_in local{};
  socklen_t length = sizeof local;
  getsockname(pair.client, reinterpret_cast<sockaddr*>(&local), &length);
  pair.remote_port = ntohs(local.sin_port);
  return pair;
}

// A listening socket on a free port of 127.0.0.1, or -1.
int listen_on_loopback() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 8) != 0) {
    close(listener);
    return -1;
  }
  return listener;
}

int port_of(int listener) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

// True when the server side was shut down: the client reads the end.
bool ended(const Accepted& pair) {
  pollfd wait{pair.client, POLLIN, 0};
  char byte = 0;
  return poll(&wait, 1, 0) == 1 && recv(pair.client, &byte, 1, MSG_DONTWAIT) == 0;
}

TEST(ConnectionWatch, EndsOnlyConnectionsThatSendNoHeadInTime) {
  const int listener = listen_on_loopback();
  ASSERT_GE(listener, 0);
  const int port = port_of(listener);
  Accepted silent, stream, busy;
  {
    ConnectionWatch watch(port, milliseconds(400), milliseconds(50));
    silent = connect_to(listener, port);
    stream = connect_to(listener, port);
    busy = connect_to(listener, port);
    watch.stream_opened(stream.remote_port);
    for (int step = 0; step < 8; ++step) {
      std::this_thread::sleep_for(milliseconds(100));
      watch.head_read(busy.remote_port);
    }
    EXPECT_TRUE(ended(silent));
    EXPECT_FALSE(ended(stream));
    EXPECT_FALSE(ended(busy));
    EXPECT_EQ(watch.ended(), 1);
    watch.stream_closed(stream.remote_port);
  }
  // Closed once the watch has stopped looking at them.
  for (const Accepted& pair : {silent, stream, busy}) {
    close(pair.client);
    close(pair.server);
  }
  close(listener);
}

// Once as many connections are open as there are workers, one that never sent
// a whole head and has nothing unread is ended at the short deadline; one
// that was served, or whose request waits unread for a worker, is not.
TEST(ConnectionWatch, UnderPressureEndsOnlyStalledConnectionsEarly) {
  const int listener = listen_on_loopback();
  ASSERT_GE(listener, 0);
  const int port = port_of(listener);
  for (const std::size_t workers : {std::size_t{3}, std::size_t{4}}) {
    const bool pressed = workers == 3;
    Accepted silent, served, queued;
    {
      ConnectionWatch watch(port, milliseconds(60000), milliseconds(50), workers,
                            milliseconds(200));
      silent = connect_to(listener, port);
      served = connect_to(listener, port);
      queued = connect_to(listener, port);
      watch.head_read(served.remote_port);
      ASSERT_EQ(send(queued.client, "GET / HTTP/1.1\r\n", 16, 0), 16);
      std::this_thread::sleep_for(milliseconds(600));
      EXPECT_EQ(ended(silent), pressed) << workers;
      EXPECT_FALSE(ended(served)) << workers;
      EXPECT_FALSE(ended(queued)) << workers;
    }
    for (const Accepted& pair : {silent, served, queued}) {
      close(pair.client);
      close(pair.server);
    }
  }
  close(listener);
}

}  // namespace
}  // namespace korvel::display
