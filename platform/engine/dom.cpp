#include "platform/engine/dom.h"

#include "platform/engine/element_handles.h"
#include "platform/engine/text_utf.h"

namespace korvel::engine {

Element::Element(std::string tag_name) : tag(std::move(tag_name)) {
  uid = register_element(this);
}

Element::~Element() {
  unregister_element(uid);
}

Element* parent_of(const Element& element) {
  if (element.parent != nullptr) return element.parent;
  if (element.document != nullptr && element.document->root.get() == &element) {
    return element.document->frame;
  }
  return nullptr;
}

std::size_t element_child_count(const Element& element) {
  if (element.frame_page != nullptr && element.frame_page->root != nullptr) return 1;
  std::size_t count = 0;
  for (const Node& node : element.children) {
    if (node.element != nullptr) ++count;
  }
  return count;
}

Element* nth_element_child(const Element& element, std::size_t index) {
  if (element.frame_page != nullptr && element.frame_page->root != nullptr) {
    return index == 0 ? element.frame_page->root.get() : nullptr;
  }
  for (const Node& node : element.children) {
    if (node.element == nullptr) continue;
    if (index == 0) return node.element.get();
    --index;
  }
  return nullptr;
}

std::size_t element_index(const Element& element) {
  if (element.parent == nullptr) return 0;
  std::size_t index = 0;
  for (const Node& node : element.parent->children) {
    if (node.element.get() == &element) return index;
    if (node.element != nullptr) ++index;
  }
  return 0;
}

Element& topmost_of(Element& element) {
  Element* current = &element;
  while (Element* parent = parent_of(*current)) current = parent;
  return *current;
}

std::size_t depth_of(const Element& element) {
  std::size_t depth = 0;
  for (const Element* parent = parent_of(element); parent != nullptr; parent = parent_of(*parent)) {
    ++depth;
  }
  return depth;
}

const Attribute* find_attribute(const Element& element, std::string_view name) {
  const std::string lower = ascii_lower(name);
  for (const Attribute& attribute : element.attributes) {
    if (attribute.name == lower) return &attribute;
  }
  return nullptr;
}

void set_attribute(Element& element, std::string_view name, std::u16string value) {
  const std::string lower = ascii_lower(name);
  for (Attribute& attribute : element.attributes) {
    if (attribute.name == lower) {
      attribute.value = std::move(value);
      return;
    }
  }
  element.attributes.push_back(Attribute{lower, std::move(value)});
}

void remove_attribute(Element& element, std::string_view name) {
  const std::string lower = ascii_lower(name);
  for (auto it = element.attributes.begin(); it != element.attributes.end(); ++it) {
    if (it->name == lower) {
      element.attributes.erase(it);
      return;
    }
  }
}

bool has_class(const Element& element, std::string_view class_name) {
  const Attribute* classes = find_attribute(element, "class");
  if (classes == nullptr) return false;
  const std::string text = utf16_to_utf8(classes->value);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of(" \t\r\n\f", start);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    if (stop > start && std::string_view(text).substr(start, stop - start) == class_name) {
      return true;
    }
    start = stop + 1;
  }
  return false;
}

namespace {

bool visit_level(Element& element, const std::function<bool(Element&)>& visit,
                 std::size_t levels_left) {
  const auto visit_child = [&](Element& child) {
    if (visit(child)) return true;
    return levels_left != 1 && visit_level(child, visit, levels_left == 0 ? 0 : levels_left - 1);
  };
  if (element.frame_page != nullptr && element.frame_page->root != nullptr) {
    return visit_child(*element.frame_page->root);
  }
  for (Node& node : element.children) {
    if (node.element != nullptr && visit_child(*node.element)) return true;
  }
  return false;
}

}  // namespace

bool visit_descendants(Element& element, const std::function<bool(Element&)>& visit,
                       std::size_t max_levels) {
  return visit_level(element, visit, max_levels);
}

void set_document(Element& element, Document* document) {
  element.document = document;
  for (Node& node : element.children) {
    if (node.element != nullptr) set_document(*node.element, document);
  }
}

}  // namespace korvel::engine
