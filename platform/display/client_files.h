// The browser client (client/: HTML, JavaScript modules, CSS), built into the
// program so that it is served whatever directory korvel runs in.
#pragma once

#include <cstddef>
#include <string_view>

namespace korvel::display {

struct ClientFile {
  const char* name;  // as in client/, e.g. "main.js"
  const unsigned char* data;
  std::size_t size;
};

// Null for a name that is not a client file.
const ClientFile* find_client_file(std::string_view name);
const char* client_content_type(std::string_view name);

}  // namespace korvel::display
