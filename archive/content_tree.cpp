#include "archive/content_tree.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace korvel {

ContentNode* append_element(ContentNode* parent, const char* name) {
  if (parent == nullptr) return nullptr;
  auto* document = parent->document();
  ContentNode* element = document->allocate_node(rapidxml::node_element, name);
  parent->append_node(element);
  return element;
}

ContentNode* append_element_copy(ContentNode* parent, const std::string& name) {
  if (parent == nullptr) return nullptr;
  const char* copy = parent->document()->allocate_string(name.c_str(), name.size() + 1);
  return append_element(parent, copy);
}

void append_attribute(ContentNode* element, const char* name, const std::string& value) {
  if (element == nullptr) return;
  auto* document = element->document();
  const char* copy = document->allocate_string(value.c_str(), value.size() + 1);
  element->append_attribute(document->allocate_attribute(name, copy, 0, value.size()));
}

std::string attribute_value(const ContentNode* element, const char* name) {
  if (element == nullptr) return {};
  const auto* attribute = element->first_attribute(name);
  if (attribute == nullptr) return {};
  return std::string(attribute->value(), attribute->value_size());
}

std::string output_id_of(const ContentNode* element, const char* suffix) {
  std::string id = suffix;
  for (const ContentNode* node = element; node != nullptr; node = node->parent()) {
    const auto* number = node->first_attribute(vocab::kNumber);
    if (number == nullptr) break;
    id.insert(0, number->value(), number->value_size());
    id.insert(0, "\\");
  }
  id.insert(0, ".");
  return id;
}

bool keys_equal(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

long long entry_number_of_key(const char* key) {
  if (key == nullptr) return 0;
  if (key[0] == '.' && key[1] == '\\') key += 2;
  // strtoll clamps instead of overflowing, and reads 0 when there are no digits.
  return std::strtoll(key, nullptr, 10);
}

}  // namespace korvel
