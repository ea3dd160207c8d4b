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

// Characters of an element's name and of an attribute's, as the parser has
// them: a name may hold '=', quotes and '<', which a scan for quoted values
// must not take for anything else.
bool is_element_name_char(char c) {
  return !is_space(c) && c != '/' && c != '>' && c != '?' && c != '\0';
}

bool is_attribute_name_char(char c) {
  return is_element_name_char(c) && c != '<' && c != '=' && c != '!';
}

// A start tag read as the parser reads it, from just past its '<'.
struct StartTag {
  const char* end = nullptr;  // past its '>'; nullptr where the parser refuses the tag
  bool self_closing = false;
  const char* nul_reference = nullptr;  // the first one inside an attribute value
};

StartTag read_start_tag(const char* at, const char* end) {
  StartTag tag;
  const char* const name = at;
  while (at < end && is_element_name_char(*at)) ++at;
  if (at == name) return tag;
  for (;;) {
    while (at < end && is_space(*at)) ++at;
    if (at == end || !is_attribute_name_char(*at)) break;
    while (at < end && is_attribute_name_char(*at)) ++at;
    while (at < end && is_space(*at)) ++at;
    if (at == end || *at != '=') return tag;
    for (++at; at < end && is_space(*at); ++at) {
    }
    if (at == end || (*at != '"' && *at != '\'')) return tag;
    const char quote = *at++;
    // Values hold '>' and references the parser translates.
    for (; at < end && *at != quote; ++at) {
      if (tag.nul_reference == nullptr && is_nul_reference(at, end)) tag.nul_reference = at;
    }
    if (at == end) return tag;
    ++at;
  }
  if (at < end && *at == '/') {
    ++at;
    tag.self_closing = true;
  }
  if (at == end || *at != '>') return tag;
  tag.end = at + 1;
  return tag;
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
      const StartTag tag = read_start_tag(at + 1, end);
      if (tag.end == nullptr) {
        // The parser refuses the list here; the look goes on as over text.
        ++at;
        continue;
      }
      if (tag.nul_reference != nullptr) {
        *message = "character reference to NUL";
        *offset = static_cast<std::size_t>(tag.nul_reference - text);
        return false;
      }
      if (!tag.self_closing && ++depth > kMaxListDepth) {
        *message = format_text("elements nested deeper than %zu", kMaxListDepth);
        *offset = static_cast<std::size_t>(at - text);
        return false;
      }
      at = tag.end;
    }
  }
  return true;
}

}  // namespace korvel
