// The engine interface's content operations: inner text and HTML.
#include "platform/engine/element_handles.h"
#include "platform/engine/host_bridge.h"
#include "platform/engine/html_parser.h"
#include "platform/engine/html_serializer.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/page_changes.h"
#include "platform/engine/text_utf.h"

namespace korvel::engine {
namespace {

// The texts the getters answer; valid until the next such call.
std::string& html_buffer() {
  static auto* buffer = new std::string;
  return *buffer;
}

std::u16string& text_buffer() {
  static auto* buffer = new std::u16string;
  return *buffer;
}

void append_text(const Element& element, std::string& out) {
  if (element.frame_page != nullptr && element.frame_page->root != nullptr) {
    append_text(*element.frame_page->root, out);
    return;
  }
  for (const Node& node : element.children) {
    if (node.element != nullptr) {
      append_text(*node.element, out);
    } else {
      out += node.text;
    }
  }
}

std::size_t node_index(const Element& parent, const Element& child) {
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    if (parent.children[i].element.get() == &child) return i;
  }
  return parent.children.size();
}

}  // namespace

HLDOM_RESULT HTMLayoutSetElementInnerText16(HELEMENT he, LPCWSTR text, UINT length) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (text == nullptr && length != 0) return HLDOM_INVALID_PARAMETER;
  const std::uint32_t uid = element->uid;
  clear_content(*element);
  element = lookup_uid(uid);
  if (element == nullptr) return HLDOM_PASSIVE_HANDLE;
  if (length != 0) {
    Node node;
    node.text = utf16_to_utf8(std::u16string_view(text, length));
    element->children.push_back(std::move(node));
  }
  touch(*element);
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementInnerText16(HELEMENT he, LPCWSTR* text) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (text == nullptr) return HLDOM_INVALID_PARAMETER;
  std::string collected;
  append_text(*element, collected);
  text_buffer() = utf8_to_utf16(collected);
  *text = text_buffer().c_str();
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutSetElementHtml(HELEMENT he, const BYTE* html, DWORD length, UINT where) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if ((html == nullptr && length != 0) || where > SOH_INSERT_AFTER) return HLDOM_INVALID_PARAMETER;
  const std::string_view text(reinterpret_cast<const char*>(html), html == nullptr ? 0 : length);
  const std::uint32_t uid = element->uid;
  if (where <= SIH_APPEND_AFTER_LAST) {
    if (where == SIH_REPLACE_CONTENT) {
      clear_content(*element);
      element = lookup_uid(uid);
      if (element == nullptr) return HLDOM_PASSIVE_HANDLE;
    }
    std::vector<Node> nodes = parse_fragment(text, element->tag, depth_of(*element));
    const std::size_t position = where == SIH_INSERT_AT_START ? 0 : element->children.size();
    insert_nodes(*element, position, std::move(nodes));
    return HLDOM_OK;
  }
  Element* parent = element->parent;
  if (parent == nullptr) return HLDOM_INVALID_PARAMETER;  // a page root has no siblings
  const std::uint32_t parent_uid = parent->uid;
  std::vector<Node> nodes = parse_fragment(text, parent->tag, depth_of(*parent));
  std::size_t position = node_index(*parent, *element);
  if (where == SOH_INSERT_AFTER) ++position;
  if (where == SOH_REPLACE) remove_element(*element);
  parent = lookup_uid(parent_uid);
  if (parent == nullptr) return HLDOM_PASSIVE_HANDLE;
  insert_nodes(*parent, position, std::move(nodes));
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementHtml(HELEMENT he, LPCSTR* html, BOOL outer) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (html == nullptr) return HLDOM_INVALID_PARAMETER;
  std::string& out = html_buffer();
  out.clear();
  if (outer != 0) {
    serialize_outer(*element, SerializeOptions{}, out);
  } else {
    serialize_inner(*element, SerializeOptions{}, out);
  }
  *html = out.c_str();
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutUpdateElement(HELEMENT he, BOOL /*remeasure*/) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  // Layout is the display's: a repaint makes it lay the page out again.
  touch(*element);
  if (const View* view = view_of(*element)) host::invalidate(view->window);
  return HLDOM_OK;
}

}  // namespace korvel::engine
