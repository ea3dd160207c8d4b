#pragma once

#include <string>

namespace korvel {

// printf-style formatting into a string of exactly the needed length; an
// absent format or a formatting error gives an empty string.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace korvel
