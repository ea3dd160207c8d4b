// A look over a list file's text before the recursive parser sees it, for
// what the parser would take in but must not: nesting deep enough to exhaust
// the stack (in parsing now, in printing at exit), and a character reference
// to NUL, which would be saved as a raw zero byte that no later load accepts.
#pragma once

#include <cstddef>
#include <string>

namespace korvel {

// Elements a list may nest. The deepest list the program itself makes is an
// archive's content tree below two levels of its own.
constexpr std::size_t kMaxListDepth = 256;

// True when the text may be parsed; otherwise message says why and offset
// where, counted from text.
bool list_text_is_acceptable(const char* text, std::size_t length, std::string* message,
                             std::size_t* offset);

}  // namespace korvel
