// The checks every request passes before it is served: the Host header names
// the loopback address and our port (so a page on another name that was
// pointed at 127.0.0.1 is refused), the token is carried, and a POST comes
// from our own origin.
#pragma once

#include <string>

namespace korvel::display {

// A fresh token of 256 bits from the system's random source, as hex; empty
// when the source cannot be read.
std::string new_token();
bool host_allowed(const std::string& host, int port);
bool origin_allowed(const std::string& origin, int port);
// The value of the cookie called name in a Cookie header; empty when absent.
std::string cookie_value(const std::string& cookie_header, const std::string& name);
// Compares in time that does not depend on where they differ.
bool token_matches(const std::string& given, const std::string& token);

}  // namespace korvel::display
