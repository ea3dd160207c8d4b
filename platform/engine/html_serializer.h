// Elements written back as HTML. With keys, every element carries its handle
// number (data-korvel-key) and its state bits by name (data-korvel-state), and
// an element that refers to a resource carries the resolved URL
// (data-korvel-url): enough for a browser to keep element identity when it
// morphs the page, to style states, and to fetch what the host delivered. A
// frame's page is written inside the frame element. With keys, a frame and
// its page's html, head and body are written as korvel-frame, korvel-html,
// korvel-head and korvel-body: a browser's parser drops a frame outside a
// frameset and a second html, head or body, and would lose the nesting.
#pragma once

#include <string>

#include "platform/engine/dom.h"

namespace korvel::engine {

struct SerializeOptions {
  bool with_keys = false;
};

void serialize_outer(const Element& element, const SerializeOptions& options, std::string& out);
void serialize_inner(const Element& element, const SerializeOptions& options, std::string& out);

}  // namespace korvel::engine
