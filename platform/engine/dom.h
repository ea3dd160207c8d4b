// The document model: elements with names, attributes in order, runs of text,
// state bits and the handlers attached to them. A frame element holds its page
// as a document of its own, whose root counts as the frame's only child, so
// navigation and lookups cross frames. Every element has a handle number; the
// handle table (element_handles.h) maps numbers back to live elements.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine/htmlayout_types.h"
#include "platform/limits.h"

namespace korvel::engine {

struct View;
struct Document;
struct Element;

struct Attribute {
  std::string name;  // lower case
  std::u16string value;
};

struct HandlerBinding {
  LPELEMENT_EVENT_PROC proc = nullptr;
  LPVOID tag = nullptr;
  UINT subscription = 0;
};

// A child of an element: an element, or a run of text (UTF-8) when element is null.
struct Node {
  std::unique_ptr<Element> element;
  std::string text;
};

struct Element {
  explicit Element(std::string tag_name);  // takes a handle number
  ~Element();                              // gives it up
  Element(const Element&) = delete;
  Element& operator=(const Element&) = delete;

  std::uint32_t uid = 0;
  std::string tag;  // lower case
  std::vector<Attribute> attributes;
  std::vector<Node> children;
  Element* parent = nullptr;  // null for a document's root
  Document* document = nullptr;
  UINT state = 0;
  std::vector<HandlerBinding> handlers;
  std::unique_ptr<Document> frame_page;

  // Geometry from the display's layout report; unreported elements follow the
  // engine's own rule (layout_report.h).
  bool reported = false;
  bool visible = false;
  RECT box{};  // content box, relative to the view
};

struct Document {
  std::unique_ptr<Element> root;
  std::u16string url;        // relative URLs of the page resolve against it
  Element* frame = nullptr;  // the frame element that holds this page; null for the window's page
  View* view = nullptr;
};

// The parent, or for a page root the frame that holds it.
Element* parent_of(const Element& element);
std::size_t element_child_count(const Element& element);
Element* nth_element_child(const Element& element, std::size_t index);
std::size_t element_index(const Element& element);
Element& topmost_of(Element& element);
std::size_t depth_of(const Element& element);  // 0 for the window's root

const Attribute* find_attribute(const Element& element, std::string_view name);
void set_attribute(Element& element, std::string_view name, std::u16string value);
void remove_attribute(Element& element, std::string_view name);
bool has_class(const Element& element, std::string_view class_name);

// Visits the descendants of element (not element itself) in document order,
// crossing frames, down to max_levels below it (0: all); stops as soon as
// visit answers true, and answers whether it stopped. visit must not change
// the tree.
bool visit_descendants(Element& element, const std::function<bool(Element&)>& visit,
                       std::size_t max_levels = 0);

// Sets the document of element and all of its descendants (not frame pages).
void set_document(Element& element, Document* document);

}  // namespace korvel::engine
