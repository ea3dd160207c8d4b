#include "shell/list_text_check.h"

#include <cstdint>
#include <cstring>

#include "archive/format_text.h"

namespace korvel {
namespace {

bool starts_with(const char* at, const char* end, const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  return static_cast<std::size_t>(end - at) >= length && std::memcmp(at, prefix, length) == 0;
}

// The end of a construct the parser takes as text, whatever it holds.
const char* skip_past(const char* at, const char* end, const char* terminator) {
  const std::size_t length = std::strlen(terminator);
  for (; at + length <= end; ++at) {
    if (std::memcmp(at, terminator, length) == 0) return at + length;
  }
  return end;
}

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The end of a document type declaration as the parser skips it: a '>'
// inside square brackets (nested or not) does not end it, so elements there
// are not elements.
const char* skip_doctype(const char* at, const char* end) {
  std::size_t brackets = 0;
  for (; at < end; ++at) {
    if (*at == '[') {
      ++brackets;
    } else if (*at == ']' && brackets > 0) {
      --brackets;
    } else if (*at == '>' && brackets == 0) {
      return at + 1;
    }
  }
  return end;
}

// The value of a digit as the parser reads it: it takes a-f as digits in
// either base. -1 for anything else.
int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A "&#...;" reference that the parser turns into NUL: a zero in any
// spelling ("&#0;", "&#x00;"), no digits at all ("&#;"), or digits whose value
// wraps to zero in the parser's 64-bit arithmetic.
bool is_nul_reference(const char* at, const char* end) {
  if (!starts_with(at, end, "&#")) return false;
  const char* digit = at + 2;
  const bool hex = digit < end && (*digit == 'x' || *digit == 'X');
  if (hex) ++digit;
  std::uint64_t value = 0;
  for (; digit < end && digit_value(*digit) >= 0; ++digit) {
    value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit_value(*digit));
  }
  return digit < end && *digit == ';' && value == 0;
}

}  // namespace

bool list_text_is_acceptable(const char* text, std::size_t length, std::string* message,
                             std::size_t* offset) {
  const char* const end = text + length;
  std::size_t depth = 0;
  const char* at = text;
  while (at < end) {
    if (is_nul_reference(at, end)) {
      *message = "character reference to NUL";
      *offset = static_cast<std::size_t>(at - text);
      return false;
    }
    if (*at != '<') {
      ++at;
      continue;
    }
    if (starts_with(at, end, "<!--")) {
      at = skip_past(at + 4, end, "-->");
    } else if (starts_with(at, end, "<![CDATA[")) {
      at = skip_past(at + 9, end, "]]>");
    } else if (starts_with(at, end, "<?")) {
      at = skip_past(at + 2, end, "?>");
    } else if (starts_with(at, end, "<!DOCTYPE") && at + 9 < end && is_space(at[9])) {
      at = skip_doctype(at + 9, end);
    } else if (starts_with(at, end, "<!")) {
      at = skip_past(at + 2, end, ">");
    } else if (starts_with(at, end, "</")) {
      if (depth > 0) --depth;
      at = skip_past(at + 2, end, ">");
    } else {
      const char* const start = at;
      // Through the tag, stepping over quoted attribute values, which may hold
      // '>' and references the parser translates. As for the parser, a quote
      // opens a value only after '='; elsewhere it is part of a name, which
      // is never translated (a saved name must not read as a value later).
      char quote = 0;
      char last = 0;  // the last character outside values that is not a space
      for (++at; at < end && (quote != 0 || *at != '>'); ++at) {
        if (quote != 0 && is_nul_reference(at, end)) {
          *message = "character reference to NUL";
          *offset = static_cast<std::size_t>(at - text);
          return false;
        }
        if (quote == 0 && (*at == '"' || *at == '\'') && last == '=') {
          quote = *at;
        } else if (quote != 0 && *at == quote) {
          quote = 0;
          last = 0;
        } else if (quote == 0 && !is_space(*at)) {
          last = *at;
        }
      }
      const bool self_closing = at < end && at[-1] == '/';
      if (at < end) ++at;
      if (!self_closing && ++depth > kMaxListDepth) {
        *message = format_text("elements nested deeper than %zu", kMaxListDepth);
        *offset = static_cast<std::size_t>(start - text);
        return false;
      }
    }
  }
  return true;
}

}  // namespace korvel
