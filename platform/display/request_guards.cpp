#include "platform/display/request_guards.h"

#include <cstdio>

namespace korvel::display {

std::string new_token() {
  unsigned char bytes[32];
  std::FILE* source = std::fopen("/dev/urandom", "rb");
  if (source == nullptr) return {};
  const std::size_t got = std::fread(bytes, 1, sizeof bytes, source);
  std::fclose(source);
  if (got != sizeof bytes) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char byte : bytes) {
    token += kHex[byte >> 4];
    token += kHex[byte & 15];
  }
  return token;
}

bool host_allowed(const std::string& host, int port) {
  const std::string suffix = ":" + std::to_string(port);
  return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

bool origin_allowed(const std::string& origin, int port) {
  return origin.rfind("http://", 0) == 0 && host_allowed(origin.substr(7), port);
}

std::string cookie_value(const std::string& cookie_header, const std::string& name) {
  std::size_t at = 0;
  while (at < cookie_header.size()) {
    std::size_t end = cookie_header.find(';', at);
    if (end == std::string::npos) end = cookie_header.size();
    std::size_t start = cookie_header.find_first_not_of(' ', at);
    if (start != std::string::npos && start < end) {
      const std::string pair = cookie_header.substr(start, end - start);
      if (pair.size() > name.size() && pair.compare(0, name.size(), name) == 0 &&
          pair[name.size()] == '=') {
        return pair.substr(name.size() + 1);
      }
    }
    at = end + 1;
  }
  return {};
}

bool token_matches(const std::string& given, const std::string& token) {
  if (token.empty() || given.size() != token.size()) return false;
  unsigned char difference = 0;
  for (std::size_t i = 0; i < token.size(); ++i) {
    difference |= static_cast<unsigned char>(given[i] ^ token[i]);
  }
  return difference == 0;
}

}  // namespace korvel::display
