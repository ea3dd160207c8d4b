// The selectors the engine understands: type and '*', '.class', '#id',
// '[attr]', '[attr=v]', '[attr="v"]' (and single quotes), the pseudo-classes
// :root :current :checked :expanded :collapsed :disabled :focus, the child
// ('>') and descendant (space) combinators, and lists separated by commas.
// ":root" is the scope element the search starts from. Anything else makes
// the whole selector invalid, and an invalid selector matches nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine/dom.h"

namespace korvel::engine {

struct AttributeTest {
  std::string name;  // lower case
  bool has_value = false;
  std::u16string value;
};

struct Compound {
  std::string tag;  // lower case; empty for any
  std::vector<std::string> classes;
  std::vector<AttributeTest> attributes;
  UINT states = 0;  // all of these bits are required
  bool root = false;
};

struct ComplexSelector {
  std::vector<Compound> compounds;  // left to right
  std::vector<char> combinators;    // between compounds: '>' or ' '
};

using SelectorList = std::vector<ComplexSelector>;

std::optional<SelectorList> parse_selector(std::u16string_view text);

// Whether element matches; scope is the element ":root" names.
bool matches(const SelectorList& selector, const Element& element, const Element* scope);

}  // namespace korvel::engine
