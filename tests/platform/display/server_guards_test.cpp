// The display server refuses what it must with the right status, from raw
// request bytes, and keeps serving afterwards.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/display/display_server.h"
#include "platform/limits.h"

namespace korvel::display {
namespace {

// Sends request whole and answers the status line of the reply.
std::string status_line(int port, const std::string& request) {
  const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(socket_fd);
    return "no connection";
  }
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t wrote =
        send(socket_fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (wrote <= 0) break;
    sent += static_cast<std::size_t>(wrote);
  }
  std::string reply;
  char buffer[4096];
  while (reply.find("\r\n") == std::string::npos) {
    const ssize_t got = recv(socket_fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(got));
  }
  close(socket_fd);
  return reply.substr(0, reply.find("\r\n"));
}

class ServerGuards : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    server_ = DisplayServer::start(0, error);
    ASSERT_NE(server_, nullptr) << error;
    port_ = server_->port();
    const std::string address = server_->address();
    token_ = address.substr(address.find("token=") + 6);
    host_ = "127.0.0.1:" + std::to_string(port_);
  }

  std::string get(const std::string& target, const std::string& headers) const {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n";
  }
  std::string cookie() const { return "Cookie: korvel_token=" + token_ + "\r\n"; }
  std::string host() const { return "Host: " + host_ + "\r\n"; }
  std::string post(const std::string& headers, const std::string& body) const {
    return "POST /input HTTP/1.1\r\n" + headers + "Content-Type: application/json\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
  }

  std::unique_ptr<DisplayServer> server_;
  int port_ = 0;
  std::string token_;
  std::string host_;
};

TEST_F(ServerGuards, EachFaultIsRefusedWithItsStatusAndServingGoesOn) {
  const std::string origin = "Origin: http://" + host_ + "\r\n";
  std::string many_ids;
  for (std::size_t i = 0; i < kMaxBatchedResources; ++i) many_ids += ",1";
  const struct {
    const char* fault;
    std::string request;
    const char* status;
  } cases[] = {
      {"no token", get("/", host()), "HTTP/1.1 403 Forbidden"},
      {"a wrong token in the address", get("/?token=00" + token_.substr(2), host()),
       "HTTP/1.1 403 Forbidden"},
      {"the token in the address sets the cookie", get("/?token=" + token_, host()),
       "HTTP/1.1 303 See Other"},
      {"no token on the stream", get("/events", host()), "HTTP/1.1 403 Forbidden"},
      {"a Host naming another site",
       get("/", "Host: korvel.example:" + std::to_string(port_) + "\r\n" + cookie()),
       "HTTP/1.1 403 Forbidden"},
      {"a Host with another port", get("/", "Host: 127.0.0.1:1\r\n" + cookie()),
       "HTTP/1.1 403 Forbidden"},
      {"no Host", get("/", cookie()), "HTTP/1.1 403 Forbidden"},
      {"a POST from another origin",
       post(host() + cookie() + "Origin: http://korvel.example\r\n",
            R"({"type":"close","window":1})"),
       "HTTP/1.1 403 Forbidden"},
      {"a POST without an origin", post(host() + cookie(), R"({"type":"close","window":1})"),
       "HTTP/1.1 403 Forbidden"},
      {"a body that is not JSON", post(host() + cookie() + origin, "{type"),
       "HTTP/1.1 400 Bad Request"},
      {"an unknown input", post(host() + cookie() + origin, R"({"type":"format_disk"})"),
       "HTTP/1.1 400 Bad Request"},
      {"a coordinate past the limit",
       post(host() + cookie() + origin,
            R"({"type":"mouse","window":1,"action":"down","x":99999999999,"y":0})"),
       "HTTP/1.1 400 Bad Request"},
      {"an oversized body",
       post(host() + cookie() + origin, std::string(kMaxInputBodyBytes + 1, ' ')),
       "HTTP/1.1 413 Payload Too Large"},
      {"a request line past the limit", get("/data/" + std::string(9000, '1'), host() + cookie()),
       "HTTP/1.1 414 URI Too Long"},
      {"a listing that leaves its root", get("/fs?dir=..", host() + cookie()),
       "HTTP/1.1 403 Forbidden"},
      {"a listing of another tree", get("/fs?dir=%2Fetc", host() + cookie()),
       "HTTP/1.1 403 Forbidden"},
      {"a data id that is no number", get("/data/12ab", host() + cookie()),
       "HTTP/1.1 400 Bad Request"},
      {"a data path that climbs", get("/data/..%2F..%2Fetc%2Fpasswd", host() + cookie()),
       "HTTP/1.1 404 Not Found"},
      {"data never delivered", get("/data/77", host() + cookie()), "HTTP/1.1 404 Not Found"},
      {"a resource list with no number", get("/devices?ids=1,,2", host() + cookie()),
       "HTTP/1.1 400 Bad Request"},
      {"a resource list past the limit", get("/devices?ids=1" + many_ids, host() + cookie()),
       "HTTP/1.1 400 Bad Request"},
      {"resources never made answer as empty", get("/devices?ids=7,8", host() + cookie()),
       "HTTP/1.1 200 OK"},
      {"a client file that does not exist", get("/client/../../etc/passwd", host() + cookie()),
       "HTTP/1.1 404 Not Found"},
      {"a valid input",
       post(host() + cookie() + origin, R"({"type":"desktop","width":800,"height":600})"),
       "HTTP/1.1 204 No Content"},
      {"the root listing", get("/fs", host() + cookie()), "HTTP/1.1 200 OK"},
      {"the client, still served", get("/", host() + cookie()), "HTTP/1.1 200 OK"},
  };
  for (const auto& guard : cases) {
    EXPECT_EQ(status_line(port_, guard.request), guard.status) << guard.fault;
  }
}

TEST_F(ServerGuards, TheStreamOpensWithASnapshot) {
  const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port_));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request = get("/events", host() + cookie());
  ASSERT_EQ(send(socket_fd, request.data(), request.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(request.size()));
  std::string reply;
  char buffer[4096];
  while (reply.find("\n\n") == std::string::npos) {
    const ssize_t got = recv(socket_fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(got));
  }
  close(socket_fd);
  EXPECT_NE(reply.find("text/event-stream"), std::string::npos) << reply;
  EXPECT_NE(reply.find("data: {"), std::string::npos) << reply;
  EXPECT_NE(reply.find("\"type\":\"snapshot\""), std::string::npos) << reply;
}

}  // namespace
}  // namespace korvel::display
