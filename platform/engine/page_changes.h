// Changes to a page's tree. Removed elements get their handlers' detach
// notices first and give up their handle numbers; inserted elements get their
// frames and resources loaded and their behaviours attached.
#pragma once

#include <vector>

#include "platform/engine/view.h"

namespace korvel::engine {

// Removes all of element's content, a frame's page included.
void clear_content(Element& element);
// Removes element from its parent. A page root is not removed this way.
void remove_element(Element& element);
// Places nodes among parent's children before the node at node_position.
void insert_nodes(Element& parent, std::size_t node_position, std::vector<Node> nodes);
// Marks the page of element as changed, for the display.
void touch(const Element& element);

}  // namespace korvel::engine
