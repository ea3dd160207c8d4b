#include "platform/display/display_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <httplib.h>
#include <malloc.h>
#include <sys/socket.h>

#include "platform/display/client_files.h"
#include "platform/display/connection_watch.h"
#include "platform/display/directory_listing.h"
#include "platform/display/input_decoder.h"
#include "platform/display/request_guards.h"
#include "platform/limits.h"

namespace korvel::display {
namespace {

constexpr const char* kTokenCookie = "korvel_token";
// Scripts only from this server; style attributes of the page are allowed.
constexpr const char* kClientPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; "
    "img-src 'self' blob: data:; connect-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

static_assert(kMaxRequestLineBytes == CPPHTTPLIB_REQUEST_URI_MAX_LENGTH);
static_assert(kMaxRequestLineBytes == CPPHTTPLIB_HEADER_MAX_LENGTH);

void refuse(httplib::Response& response, int status, const std::string& reason) {
  response.status = status;
  response.set_content("korvel: " + reason + "\n", "text/plain; charset=utf-8");
}

// A decimal id of at most kMaxIdDigits digits; 0 when it is not one.
std::uint64_t parse_id(const std::string& text) {
  if (text.empty() || text.size() > kMaxIdDigits) return 0;
  std::uint64_t id = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    id = id * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return id;
}

// Sends the kept bytes themselves, not a copy: the headers leave at once and
// a large picture is never duplicated in memory.
void send_shared(httplib::Response& response,
                 std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> pieces,
                 const char* content_type) {
  std::size_t total = 0;
  for (const auto& piece : pieces) total += piece->size();
  if (total == 0) return response.set_content("", content_type);
  // The rest of the piece that holds offset, within the length asked for
  // (less than the whole for a range).
  auto provide = [pieces = std::move(pieces)](std::size_t offset, std::size_t length,
                                              httplib::DataSink& sink) {
    for (const auto& piece : pieces) {
      if (offset < piece->size()) {
        return sink.write(reinterpret_cast<const char*>(piece->data()) + offset,
                          std::min(piece->size() - offset, length));
      }
      offset -= piece->size();
    }
    return false;
  };
  response.set_content_provider(total, content_type, std::move(provide));
}

void serve_bytes(httplib::Response& response, const std::optional<DataItem>& item) {
  if (!item || item->bytes == nullptr) return refuse(response, 404, "no such data");
  // Kept out of the browser's disk cache: the client keeps what it reuses
  // (sheets by id, a picture in its element), and writing a 2048x2048
  // texture's PNG to disk cost the browser more than its whole transfer.
  response.set_header("Cache-Control", "no-store");
  send_shared(response, {item->bytes}, item->content_type.c_str());
}

// Several 3-D resources in one answer, each as its length (8 bytes, little
// endian) and its bytes; a resource that is gone has length 0. A model makes
// dozens of small buffers at once, and every request costs a round trip
// through a busy browser.
void serve_resources(httplib::Response& response, BrowserDisplay& display,
                     const std::string& id_list) {
  std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> pieces;
  std::size_t count = 0;
  std::size_t start = 0;
  while (start <= id_list.size()) {
    const std::size_t end = std::min(id_list.find(',', start), id_list.size());
    const std::uint64_t id = parse_id(id_list.substr(start, end - start));
    if (id == 0) return refuse(response, 400, "ids are numbers separated by commas");
    if (++count > kMaxBatchedResources) {
      return refuse(response, 400,
                    "at most " + std::to_string(kMaxBatchedResources) + " resources at once");
    }
    const std::optional<DataItem> item = display.device_bytes(id);
    const std::uint64_t size = item && item->bytes ? item->bytes->size() : 0;
    auto length = std::make_shared<std::vector<std::uint8_t>>(8);
    for (int i = 0; i < 8; ++i)
      (*length)[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    pieces.push_back(std::move(length));
    if (size != 0) pieces.push_back(item->bytes);
    start = end + 1;
  }
  response.set_header("Cache-Control", "no-store");
  send_shared(response, std::move(pieces), "application/octet-stream");
}

}  // namespace

struct DisplayServer::Impl {
  httplib::Server server;
  std::shared_ptr<BrowserDisplay> display = std::make_shared<BrowserDisplay>();
  ModifierState modifiers;
  std::string token;
  std::filesystem::path browse_root;
  int port = 0;
  std::thread listener;
  std::unique_ptr<ConnectionWatch> watch;
  std::atomic<bool> stopped{false};

  bool guard(const httplib::Request& request, httplib::Response& response);
  void routes();
};

bool DisplayServer::Impl::guard(const httplib::Request& request, httplib::Response& response) {
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Referrer-Policy", "no-referrer");
  if (request.headers.size() > kMaxHeaderCount) {
    refuse(response, 431, "too many header lines");
    return false;
  }
  if (!host_allowed(request.get_header_value("Host"), port)) {
    refuse(response, 403, "the Host header must name 127.0.0.1 or localhost and this port");
    return false;
  }
  if (request.path == "/" && request.method == "GET" && request.has_param("token")) {
    if (!token_matches(request.get_param_value("token"), token)) {
      refuse(response, 403, "this token is not the one korvel printed at start");
      return false;
    }
    // The cookie carries the token from now on; the address loses it.
    response.set_header("Set-Cookie", std::string(kTokenCookie) + "=" + token +
                                          "; Path=/; HttpOnly; SameSite=Strict");
    response.set_redirect("/", 303);
    return false;
  }
  if (!token_matches(cookie_value(request.get_header_value("Cookie"), kTokenCookie), token)) {
    refuse(response, 403, "open the address korvel printed at start, with its token");
    return false;
  }
  if (request.method == "POST" && !origin_allowed(request.get_header_value("Origin"), port)) {
    refuse(response, 403, "a POST must come from korvel's own page");
    return false;
  }
  return true;
}

void DisplayServer::Impl::routes() {
  // Each watching tab holds a worker for its stream.
  server.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server.set_payload_max_length(kMaxInputBodyBytes);
  // Headers and body go out in separate writes; without this, delayed
  // acknowledgements hold every answer back by tens of milliseconds.
  server.set_tcp_nodelay(true);
  // A tab keeps its connections for as long as it watches: closing one every
  // few requests costs a new connection at the next picture or input.
  server.set_keep_alive_max_count(kMaxRequestsPerConnection);
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        watch->head_read(request.remote_port);
        return guard(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                        : httplib::Server::HandlerResponse::Handled;
      });

  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    const ClientFile* file = find_client_file("index.html");
    if (file == nullptr) return refuse(response, 500, "the client is missing");
    response.set_header("Content-Security-Policy", kClientPolicy);
    response.set_header("Cache-Control", "no-store");
    response.set_content(reinterpret_cast<const char*>(file->data), file->size,
                         client_content_type(file->name));
  });
  server.Get("/favicon.ico",
             [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
  server.Get(R"(/client/([A-Za-z0-9_\-]+\.(js|css)))",
             [](const httplib::Request& request, httplib::Response& response) {
               const ClientFile* file = find_client_file(request.matches[1].str());
               if (file == nullptr) return refuse(response, 404, "no such client file");
               response.set_header("Cache-Control", "no-store");
               response.set_content(reinterpret_cast<const char*>(file->data), file->size,
                                    client_content_type(file->name));
             });
  server.Get("/events", [this](const httplib::Request& request, httplib::Response& response) {
    std::shared_ptr<EventHub::Stream> stream = display->open_stream();
    if (stream == nullptr) return refuse(response, 503, "too many tabs are watching");
    watch->stream_opened(request.remote_port);
    response.set_header("Cache-Control", "no-store");
    std::shared_ptr<BrowserDisplay> shown = display;
    response.set_chunked_content_provider(
        "text/event-stream",
        [shown, stream](std::size_t, httplib::DataSink& sink) {
          std::string events;
          if (!shown->hub().take(stream, events, std::chrono::seconds(kStreamKeepAliveSeconds))) {
            sink.done();
            return false;
          }
          if (events.empty()) events = ": still here\n\n";
          return sink.is_writable() && sink.write(events.data(), events.size());
        },
        [this, shown, stream, remote_port = request.remote_port](bool) {
          watch->stream_closed(remote_port);
          shown->close_stream(stream);
        });
  });
  server.Post("/input", [this](const httplib::Request& request, httplib::Response& response) {
    const InputOutcome outcome = apply_input(request.body, modifiers);
    // A large body was parsed into many times its size on this worker's own
    // heap; handing the pages back keeps sixteen workers from each keeping
    // their largest request for good.
    if (request.body.size() >= kTrimAfterInputBytes) ::malloc_trim(0);
    if (outcome.status >= 400) return refuse(response, outcome.status, outcome.error);
    response.status = outcome.status;
  });
  server.Get(R"(/data/([^/]*))",
             [this](const httplib::Request& request, httplib::Response& response) {
               const std::uint64_t id = parse_id(request.matches[1].str());
               if (id == 0) return refuse(response, 400, "a data id is a number");
               serve_bytes(response, display->data(id));
             });
  server.Get(R"(/device/([^/]*))",
             [this](const httplib::Request& request, httplib::Response& response) {
               const std::uint64_t id = parse_id(request.matches[1].str());
               if (id == 0) return refuse(response, 400, "a resource id is a number");
               serve_bytes(response, display->device_bytes(id));
             });
  server.Get("/devices", [this](const httplib::Request& request, httplib::Response& response) {
    serve_resources(response, *display, request.get_param_value("ids"));
  });
  server.Get("/fs", [this](const httplib::Request& request, httplib::Response& response) {
    const Listing listing = list_directory(browse_root, request.get_param_value("dir"));
    if (listing.status != 200) return refuse(response, listing.status, listing.body);
    response.set_header("Cache-Control", "no-store");
    response.set_content(listing.body, "application/json");
  });
}

DisplayServer::DisplayServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<DisplayServer> DisplayServer::start(int port, std::string& error) {
  if (port < 0 || port > 65535) {
    error = "the port must be from 0 to 65535";
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->token = new_token();
  if (impl->token.empty()) {
    error = "the system's random source cannot be read";
    return nullptr;
  }
  impl->browse_root = default_browse_root();
  int listening = -1;
  impl->server.set_socket_options([&listening](socket_t socket) {
    httplib::default_socket_options(socket);
    listening = socket;
  });
  if (port == 0) {
    impl->port = impl->server.bind_to_any_port("127.0.0.1");
  } else if (impl->server.bind_to_port("127.0.0.1", port)) {
    impl->port = port;
  }
  if (impl->port <= 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + " (is it in use?)";
    return nullptr;
  }
  if (listening >= 0) ::listen(listening, kListenBacklog);
  impl->watch = std::make_unique<ConnectionWatch>(
      impl->port, std::chrono::seconds(kRequestHeadDeadlineSeconds), std::chrono::seconds(1),
      kServerThreads, std::chrono::seconds(kPressedHeadDeadlineSeconds));
  impl->routes();
  Impl* running = impl.get();
  impl->listener = std::thread([running] { running->server.listen_after_bind(); });
  return std::unique_ptr<DisplayServer>(new DisplayServer(std::move(impl)));
}

DisplayServer::~DisplayServer() {
  stop();
}

int DisplayServer::port() const {
  return impl_->port;
}

std::string DisplayServer::address() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}

std::shared_ptr<BrowserDisplay> DisplayServer::display() const {
  return impl_->display;
}

void DisplayServer::finish(int exit_code) {
  impl_->display->announce_end(exit_code);
  impl_->display->hub().drain(std::chrono::milliseconds(500));
  // The last events were taken; let the workers write them out.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop();
}

void DisplayServer::stop() {
  if (impl_->stopped.exchange(true)) return;
  impl_->display->hub().stop();
  impl_->server.stop();
  if (impl_->listener.joinable()) impl_->listener.join();
  impl_->watch.reset();
}

}  // namespace korvel::display
