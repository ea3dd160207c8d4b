#include "platform/engine/html_serializer.h"

#include <string_view>

#include "platform/engine/text_utf.h"
#include "platform/engine/url.h"

namespace korvel::engine {
namespace {

bool is_void(std::string_view tag) {
  for (std::string_view name : {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                                "meta", "param", "source", "track", "wbr"}) {
    if (tag == name) return true;
  }
  return false;
}

bool is_raw_text(std::string_view tag) {
  return tag == "script" || tag == "style";
}

struct StateName {
  UINT bit;
  const char* name;
};
constexpr StateName kStateNames[] = {
    {STATE_FOCUS, "focus"},       {STATE_CURRENT, "current"},   {STATE_CHECKED, "checked"},
    {STATE_DISABLED, "disabled"}, {STATE_EXPANDED, "expanded"}, {STATE_COLLAPSED, "collapsed"},
};

void append_escaped(std::string& out, std::string_view text, bool in_attribute) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += in_attribute ? "<" : "&lt;";
        break;
      case '>':
        out += in_attribute ? ">" : "&gt;";
        break;
      case '"':
        out += in_attribute ? "&quot;" : "\"";
        break;
      default:
        out += c;
    }
  }
}

void append_attribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "=\"";
  append_escaped(out, value, true);
  out += '"';
}

// The attribute of element that names a resource the engine asked the host for.
const Attribute* resource_attribute(const Element& element) {
  if (element.tag == "img" || element.tag == "frame") return find_attribute(element, "src");
  if (element.tag == "link") return find_attribute(element, "href");
  return nullptr;
}

void append_keys(const Element& element, std::string& out) {
  append_attribute(out, "data-korvel-key", std::to_string(element.uid));
  std::string states;
  for (const StateName& state : kStateNames) {
    if ((element.state & state.bit) == 0) continue;
    if (!states.empty()) states += ' ';
    states += state.name;
  }
  if (!states.empty()) append_attribute(out, "data-korvel-state", states);
  const Attribute* resource = resource_attribute(element);
  if (resource != nullptr && element.document != nullptr) {
    append_attribute(out, "data-korvel-url",
                     utf16_to_utf8(resolve_url(element.document->url, resource->value)));
  }
}

// The name written for element: see the header for why some are renamed.
std::string written_tag(const Element& element, const SerializeOptions& options) {
  if (!options.with_keys) return element.tag;
  const bool frame_page_part =
      element.document != nullptr && element.document->frame != nullptr &&
      (element.tag == "html" || element.tag == "head" || element.tag == "body");
  if (element.tag == "frame" || frame_page_part) return "korvel-" + element.tag;
  return element.tag;
}

}  // namespace

void serialize_outer(const Element& element, const SerializeOptions& options, std::string& out) {
  const std::string tag = written_tag(element, options);
  out += '<';
  out += tag;
  for (const Attribute& attribute : element.attributes) {
    append_attribute(out, attribute.name, utf16_to_utf8(attribute.value));
  }
  if (options.with_keys) append_keys(element, out);
  out += '>';
  if (is_void(tag)) return;
  serialize_inner(element, options, out);
  out += "</";
  out += tag;
  out += '>';
}

void serialize_inner(const Element& element, const SerializeOptions& options, std::string& out) {
  if (element.frame_page != nullptr && element.frame_page->root != nullptr) {
    serialize_outer(*element.frame_page->root, options, out);
    return;
  }
  for (const Node& node : element.children) {
    if (node.element != nullptr) {
      serialize_outer(*node.element, options, out);
    } else if (is_raw_text(element.tag)) {
      out += node.text;
    } else {
      append_escaped(out, node.text, false);
    }
  }
}

}  // namespace korvel::engine
