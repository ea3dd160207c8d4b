#include "platform/engine/selector.h"

#include <set>
#include <utility>

#include "platform/engine/text_utf.h"

namespace korvel::engine {
namespace {

struct PseudoClass {
  std::u16string_view name;
  UINT state;
};
constexpr PseudoClass kPseudoClasses[] = {
    {u"current", STATE_CURRENT},     {u"checked", STATE_CHECKED},   {u"expanded", STATE_EXPANDED},
    {u"collapsed", STATE_COLLAPSED}, {u"disabled", STATE_DISABLED}, {u"focus", STATE_FOCUS},
};

bool is_space(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool is_name_char(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'-' || c == u'_' || c >= 0x80;
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : text_(text) {}

  std::optional<SelectorList> parse_list() {
    SelectorList list;
    for (;;) {
      skip_spaces();
      ComplexSelector complex;
      if (!parse_complex(complex)) return std::nullopt;
      list.push_back(std::move(complex));
      skip_spaces();
      if (at_end()) return list;
      if (peek() != u',') return std::nullopt;
      ++pos_;
    }
  }

 private:
  bool at_end() const { return pos_ >= text_.size(); }
  char16_t peek() const { return at_end() ? 0 : text_[pos_]; }
  void skip_spaces() {
    while (!at_end() && is_space(peek())) ++pos_;
  }

  std::u16string name() {
    const std::size_t start = pos_;
    while (!at_end() && is_name_char(peek())) ++pos_;
    return std::u16string(text_.substr(start, pos_ - start));
  }

  bool parse_complex(ComplexSelector& complex) {
    Compound first;
    if (!parse_compound(first)) return false;
    complex.compounds.push_back(std::move(first));
    for (;;) {
      const std::size_t before = pos_;
      skip_spaces();
      char combinator = ' ';
      if (peek() == u'>') {
        combinator = '>';
        ++pos_;
        skip_spaces();
      } else if (at_end() || peek() == u',' || pos_ == before) {
        return true;  // the list, or the caller, decides what follows
      }
      Compound next;
      if (!parse_compound(next)) return false;
      complex.combinators.push_back(combinator);
      complex.compounds.push_back(std::move(next));
    }
  }

  bool parse_compound(Compound& compound) {
    bool any = false;
    if (peek() == u'*') {
      ++pos_;
      any = true;
    } else if (is_name_char(peek())) {
      compound.tag = ascii_lower(utf16_to_utf8(name()));
      any = true;
    }
    for (;;) {
      const char16_t c = peek();
      if (c == u'.') {
        ++pos_;
        const std::u16string class_name = name();
        if (class_name.empty()) return false;
        compound.classes.push_back(utf16_to_utf8(class_name));
      } else if (c == u'#') {
        ++pos_;
        const std::u16string id = name();
        if (id.empty()) return false;
        compound.attributes.push_back(AttributeTest{"id", true, id});
      } else if (c == u'[') {
        ++pos_;
        AttributeTest test;
        if (!parse_attribute(test)) return false;
        compound.attributes.push_back(std::move(test));
      } else if (c == u':') {
        ++pos_;
        if (!parse_pseudo(compound)) return false;
      } else {
        return any;
      }
      any = true;
    }
  }

  bool parse_attribute(AttributeTest& test) {
    skip_spaces();
    const std::u16string attribute_name = name();
    if (attribute_name.empty()) return false;
    test.name = ascii_lower(utf16_to_utf8(attribute_name));
    skip_spaces();
    if (peek() == u']') {
      ++pos_;
      return true;
    }
    if (peek() != u'=') return false;
    ++pos_;
    skip_spaces();
    test.has_value = true;
    const char16_t quote = peek();
    if (quote == u'"' || quote == u'\'') {
      const std::size_t close = text_.find(quote, pos_ + 1);
      if (close == std::u16string_view::npos) return false;
      test.value = std::u16string(text_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
      skip_spaces();
    } else {
      // An unquoted value runs to the ']', as the program writes panel names.
      const std::size_t close = text_.find(u']', pos_);
      if (close == std::u16string_view::npos) return false;
      std::size_t end = close;
      while (end > pos_ && is_space(text_[end - 1])) --end;
      test.value = std::u16string(text_.substr(pos_, end - pos_));
      if (test.value.empty()) return false;
      pos_ = close;
    }
    if (peek() != u']') return false;
    ++pos_;
    return true;
  }

  bool parse_pseudo(Compound& compound) {
    const std::u16string pseudo = name();
    if (pseudo == u"root") {
      compound.root = true;
      return true;
    }
    for (const PseudoClass& known : kPseudoClasses) {
      if (pseudo == known.name) {
        compound.states |= known.state;
        return true;
      }
    }
    return false;
  }

  std::u16string_view text_;
  std::size_t pos_ = 0;
};

bool match_compound(const Compound& compound, const Element& element, const Element* scope) {
  if (!compound.tag.empty() && compound.tag != element.tag) return false;
  if ((element.state & compound.states) != compound.states) return false;
  if (compound.root) {
    if (scope != nullptr ? &element != scope : parent_of(element) != nullptr) return false;
  }
  for (const std::string& class_name : compound.classes) {
    if (!has_class(element, class_name)) return false;
  }
  for (const AttributeTest& test : compound.attributes) {
    const Attribute* attribute = find_attribute(element, test.name);
    if (attribute == nullptr) return false;
    if (test.has_value && attribute->value != test.value) return false;
  }
  return true;
}

using FailedSet = std::set<std::pair<std::size_t, const Element*>>;

// Whether element matches compounds [0, index], with the rightmost at index.
bool match_from(const ComplexSelector& complex, std::size_t index, const Element& element,
                const Element* scope, FailedSet& failed) {
  if (!match_compound(complex.compounds[index], element, scope)) return false;
  if (index == 0) return true;
  const char combinator = complex.combinators[index - 1];
  for (const Element* ancestor = parent_of(element); ancestor != nullptr;
       ancestor = parent_of(*ancestor)) {
    // Remembering failures keeps chains of descendant combinators linear.
    if (failed.count({index - 1, ancestor}) == 0) {
      if (match_from(complex, index - 1, *ancestor, scope, failed)) return true;
      failed.insert({index - 1, ancestor});
    }
    if (combinator == '>') break;
  }
  return false;
}

}  // namespace

std::optional<SelectorList> parse_selector(std::u16string_view text) {
  return Parser(text).parse_list();
}

bool matches(const SelectorList& selector, const Element& element, const Element* scope) {
  for (const ComplexSelector& complex : selector) {
    FailedSet failed;
    if (match_from(complex, complex.compounds.size() - 1, element, scope, failed)) return true;
  }
  return false;
}

}  // namespace korvel::engine
