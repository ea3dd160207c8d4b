#include "platform/engine/page_changes.h"

#include <algorithm>

#include "platform/engine/element_handles.h"
#include "platform/engine/event_routing.h"
#include "platform/engine/page_loader.h"

namespace korvel::engine {

void touch(const Element& element) {
  if (View* view = view_of(element)) ++view->version;
}

void clear_content(Element& element) {
  const std::uint32_t uid = element.uid;
  std::vector<std::uint32_t> children;
  for (std::size_t i = 0, count = element_child_count(element); i < count; ++i) {
    if (Element* child = nth_element_child(element, i)) children.push_back(child->uid);
  }
  for (std::uint32_t child : children) {
    if (Element* still = lookup_uid(child)) detach_subtree(*still);
  }
  Element* still = lookup_uid(uid);
  if (still == nullptr) return;
  touch(*still);
  // Moved out before they are destroyed, so the tree is whole at every step.
  std::vector<Node> gone = std::move(still->children);
  std::unique_ptr<Document> gone_page = std::move(still->frame_page);
  still->children.clear();
}

void remove_element(Element& element) {
  if (element.parent == nullptr) return;
  const std::uint32_t uid = element.uid;
  detach_subtree(element);
  Element* still = lookup_uid(uid);
  if (still == nullptr || still->parent == nullptr) return;
  touch(*still);
  std::vector<Node>& siblings = still->parent->children;
  for (auto it = siblings.begin(); it != siblings.end(); ++it) {
    if (it->element.get() == still) {
      std::unique_ptr<Element> gone = std::move(it->element);
      siblings.erase(it);
      return;
    }
  }
}

void insert_nodes(Element& parent, std::size_t node_position, std::vector<Node> nodes) {
  View* view = view_of(parent);
  std::vector<std::uint32_t> roots;
  for (Node& node : nodes) {
    if (node.element == nullptr) continue;
    node.element->parent = &parent;
    set_document(*node.element, parent.document);
    roots.push_back(node.element->uid);
  }
  const std::size_t position = std::min(node_position, parent.children.size());
  parent.children.insert(parent.children.begin() + static_cast<std::ptrdiff_t>(position),
                         std::make_move_iterator(nodes.begin()),
                         std::make_move_iterator(nodes.end()));
  touch(parent);
  if (view != nullptr) complete_new_elements(view->window, roots);
}

}  // namespace korvel::engine
