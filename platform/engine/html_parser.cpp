#include "platform/engine/html_parser.h"

#include <gumbo.h>

#include "platform/engine/text_utf.h"

namespace korvel::engine {
namespace {

constexpr std::string_view kFrameStandIn = "korvel-frame";

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool starts_with_nocase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  return ascii_lower(text.substr(at, word.size())) == word;
}

bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The name of an element whose content is text, not markup, when the tag at
// name_start opens one.
std::string_view raw_text_element(std::string_view text, std::size_t name_start) {
  for (std::string_view name : {"script", "style", "textarea", "title"}) {
    const std::size_t after = name_start + name.size();
    if (starts_with_nocase(text, name_start, name) &&
        (after >= text.size() || is_space(text[after]) || text[after] == '>' ||
         text[after] == '/')) {
      return name;
    }
  }
  return {};
}

// Index just past the '>' that ends the tag starting at from, skipping quoted
// attribute values; text.size() when the tag does not end.
std::size_t tag_end(std::string_view text, std::size_t from) {
  char quote = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return text.size();
}

std::string element_name(const GumboElement& element) {
  if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
  GumboStringPiece piece = element.original_tag;
  if (piece.data == nullptr || piece.length == 0) return "unknown";
  gumbo_tag_from_original_text(&piece);
  std::string name = ascii_lower(std::string_view(piece.data, piece.length));
  if (name == kFrameStandIn) return "frame";
  return name.empty() ? "unknown" : name;
}

std::unique_ptr<Element> convert_element(const GumboElement& source, std::size_t depth);

void convert_children(const GumboVector& children, std::vector<Node>& out, std::size_t depth) {
  for (unsigned i = 0; i < children.length; ++i) {
    const auto* child = static_cast<const GumboNode*>(children.data[i]);
    switch (child->type) {
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        if (depth <= kMaxElementDepth) {
          Node node;
          node.element = convert_element(child->v.element, depth);
          out.push_back(std::move(node));
        }
        break;
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA: {
        if (!out.empty() && out.back().element == nullptr) {
          out.back().text += child->v.text.text;
        } else {
          Node node;
          node.text = child->v.text.text;
          out.push_back(std::move(node));
        }
        break;
      }
      default:  // comments and the document node carry nothing the engine keeps
        break;
    }
  }
}

std::unique_ptr<Element> convert_element(const GumboElement& source, std::size_t depth) {
  auto element = std::make_unique<Element>(element_name(source));
  for (unsigned i = 0; i < source.attributes.length; ++i) {
    const auto* attribute = static_cast<const GumboAttribute*>(source.attributes.data[i]);
    set_attribute(*element, attribute->name, utf8_to_utf16(attribute->value));
  }
  if (find_attribute(*element, "disabled") != nullptr) element->state |= STATE_DISABLED;
  convert_children(source.children, element->children, depth + 1);
  for (Node& node : element->children) {
    if (node.element != nullptr) node.element->parent = element.get();
  }
  return element;
}

GumboTag context_tag_of(std::string_view tag) {
  const std::string name(tag);
  const GumboTag known = gumbo_tag_enum(name.c_str());
  // Unknown names, and the document-level ones that make no sense as a
  // context, parse as a div's content.
  if (known == GUMBO_TAG_UNKNOWN || known == GUMBO_TAG_HTML || known == GUMBO_TAG_HEAD ||
      known == GUMBO_TAG_FRAME) {
    return GUMBO_TAG_DIV;
  }
  return known;
}

}  // namespace

std::string rename_frames(std::string_view html) {
  // A frameset page keeps its frames as they are; the parser knows them there.
  for (std::size_t i = html.find('<'); i != std::string_view::npos; i = html.find('<', i + 1)) {
    if (starts_with_nocase(html, i + 1, "frameset")) return std::string(html);
  }
  std::string out;
  out.reserve(html.size() + 64);
  std::size_t i = 0;
  while (i < html.size()) {
    if (html.compare(i, 4, "<!--") == 0) {
      const std::size_t close = html.find("-->", i + 4);
      const std::size_t stop = close == std::string_view::npos ? html.size() : close + 3;
      out.append(html.substr(i, stop - i));
      i = stop;
      continue;
    }
    if (html[i] != '<' || i + 1 >= html.size() || !is_letter(html[i + 1])) {
      out += html[i++];
      continue;
    }
    const std::size_t name_end = i + 6;
    const std::size_t end = tag_end(html, i + 1);
    if (starts_with_nocase(html, i + 1, "frame") &&
        (name_end >= html.size() || is_space(html[name_end]) || html[name_end] == '/' ||
         html[name_end] == '>')) {
      std::string attributes(html.substr(name_end, end - name_end));
      if (!attributes.empty() && attributes.back() == '>') attributes.pop_back();
      if (!attributes.empty() && attributes.back() == '/') attributes.pop_back();
      out += '<';
      out += kFrameStandIn;
      out += attributes;
      out += "></";
      out += kFrameStandIn;
      out += '>';
      i = end;
      continue;
    }
    // Any other tag is copied whole, so that its attribute values are not
    // searched; the text of elements whose content is not markup is too.
    out.append(html.substr(i, end - i));
    const std::string_view raw_text = raw_text_element(html, i + 1);
    i = end;
    if (!raw_text.empty()) {
      std::size_t close = i;
      while ((close = html.find("</", close)) != std::string_view::npos &&
             !starts_with_nocase(html, close + 2, raw_text)) {
        close += 2;
      }
      const std::size_t stop = close == std::string_view::npos ? html.size() : close;
      out.append(html.substr(i, stop - i));
      i = stop;
    }
  }
  return out;
}

std::unique_ptr<Element> parse_page(std::string_view html, std::size_t base_depth) {
  const std::string text = rename_frames(html);
  GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, text.data(), text.size());
  std::unique_ptr<Element> root;
  if (output != nullptr && output->root != nullptr && output->root->type == GUMBO_NODE_ELEMENT) {
    root = convert_element(output->root->v.element, base_depth);
  } else {
    root = std::make_unique<Element>("html");
  }
  if (output != nullptr) gumbo_destroy_output(&kGumboDefaultOptions, output);
  return root;
}

std::vector<Node> parse_fragment(std::string_view html, std::string_view context_tag,
                                 std::size_t parent_depth) {
  const std::string text = rename_frames(html);
  GumboOptions options = kGumboDefaultOptions;
  options.fragment_context = context_tag_of(context_tag);
  options.fragment_namespace = GUMBO_NAMESPACE_HTML;
  GumboOutput* output = gumbo_parse_with_options(&options, text.data(), text.size());
  std::vector<Node> nodes;
  if (output != nullptr && output->root != nullptr && output->root->type == GUMBO_NODE_ELEMENT) {
    // The parser wraps a fragment in an <html> element of its own.
    convert_children(output->root->v.element.children, nodes, parent_depth + 1);
  }
  if (output != nullptr) gumbo_destroy_output(&options, output);
  return nodes;
}

}  // namespace korvel::engine
