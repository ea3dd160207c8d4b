// Pages and fragments parsed with gumbo, as browsers parse them, into engine
// elements. One departure: a <frame> element stays where it stands, also in
// ordinary content (the program loads frames into a div), by giving it another
// name for the parser and its own name back afterwards. Elements come out
// without a document; the caller places them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine/dom.h"

namespace korvel::engine {

// A whole page: its <html> root. base_depth is the depth the root will have in
// its window; elements past kMaxElementDepth are left out.
std::unique_ptr<Element> parse_page(std::string_view html, std::size_t base_depth);

// Content for an element named context_tag that sits at parent_depth.
std::vector<Node> parse_fragment(std::string_view html, std::string_view context_tag,
                                 std::size_t parent_depth);

// Exposed for tests: the page text with every <frame> renamed and closed.
std::string rename_frames(std::string_view html);

}  // namespace korvel::engine
