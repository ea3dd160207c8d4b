#include "platform/display/client_files.h"

namespace korvel::display {

const char* client_content_type(std::string_view name) {
  auto ends_with = [&](std::string_view suffix) {
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
  };
  if (ends_with(".js")) return "text/javascript; charset=utf-8";
  if (ends_with(".css")) return "text/css; charset=utf-8";
  if (ends_with(".html")) return "text/html; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace korvel::display
