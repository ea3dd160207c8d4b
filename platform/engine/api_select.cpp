// The engine interface's lookups. Matches are collected first and handed to
// the callback afterwards, each looked up again, so a callback that changes
// the page cannot pull the walk from under the engine.
#include "platform/engine/debug_output.h"
#include "platform/engine/element_handles.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/selector.h"
#include "platform/engine/text_utf.h"

namespace korvel::engine {
namespace {

void hand_over(const std::vector<std::uint32_t>& uids, HTMLayoutElementCallback callback,
               LPVOID param) {
  for (std::uint32_t uid : uids) {
    Element* element = lookup_uid(uid);
    if (element != nullptr && callback(handle_of(element), param) != 0) return;
  }
}

std::optional<SelectorList> parsed_or_reported(std::u16string_view text) {
  std::optional<SelectorList> selector = parse_selector(text);
  if (!selector) debug_print(u"selector not understood: " + std::u16string(text));
  return selector;
}

HLDOM_RESULT select_elements(HELEMENT he, std::u16string_view text,
                             HTMLayoutElementCallback callback, LPVOID param) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (callback == nullptr) return HLDOM_INVALID_PARAMETER;
  const std::optional<SelectorList> selector = parsed_or_reported(text);
  if (!selector) return HLDOM_INVALID_PARAMETER;
  std::vector<std::uint32_t> found;
  visit_descendants(*element, [&](Element& candidate) {
    if (matches(*selector, candidate, element)) found.push_back(candidate.uid);
    return false;
  });
  hand_over(found, callback, param);
  return HLDOM_OK;
}

HLDOM_RESULT select_parent(HELEMENT he, std::u16string_view text, UINT depth, HELEMENT* found) {
  if (found != nullptr) *found = nullptr;
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (found == nullptr) return HLDOM_INVALID_PARAMETER;
  const std::optional<SelectorList> selector = parsed_or_reported(text);
  if (!selector) return HLDOM_INVALID_PARAMETER;
  const Element* scope = &topmost_of(*element);
  UINT level = 0;
  for (Element* current = element; current != nullptr; current = parent_of(*current)) {
    if (matches(*selector, *current, scope)) {
      *found = handle_of(current);
      return HLDOM_OK;
    }
    if (depth != 0 && ++level >= depth) break;
  }
  return HLDOM_OK;
}

}  // namespace

HLDOM_RESULT HTMLayoutSelectElements(HELEMENT he, LPCSTR selector,
                                     HTMLayoutElementCallback callback, LPVOID param) {
  if (selector == nullptr)
    return lookup_element(he) == nullptr ? HLDOM_INVALID_HANDLE : HLDOM_INVALID_PARAMETER;
  return select_elements(he, utf8_to_utf16(selector), callback, param);
}

HLDOM_RESULT HTMLayoutSelectElementsW(HELEMENT he, LPCWSTR selector,
                                      HTMLayoutElementCallback callback, LPVOID param) {
  if (selector == nullptr)
    return lookup_element(he) == nullptr ? HLDOM_INVALID_HANDLE : HLDOM_INVALID_PARAMETER;
  return select_elements(he, selector, callback, param);
}

HLDOM_RESULT HTMLayoutSelectParent(HELEMENT he, LPCSTR selector, UINT depth, HELEMENT* found) {
  if (selector == nullptr) {
    if (found != nullptr) *found = nullptr;
    return HLDOM_INVALID_PARAMETER;
  }
  return select_parent(he, utf8_to_utf16(selector), depth, found);
}

HLDOM_RESULT HTMLayoutSelectParentW(HELEMENT he, LPCWSTR selector, UINT depth, HELEMENT* found) {
  if (selector == nullptr) {
    if (found != nullptr) *found = nullptr;
    return HLDOM_INVALID_PARAMETER;
  }
  return select_parent(he, selector, depth, found);
}

HLDOM_RESULT HTMLayoutVisitElements(HELEMENT he, LPCSTR tag, LPCSTR attribute_name,
                                    LPCWSTR attribute_value, HTMLayoutElementCallback callback,
                                    LPVOID param, DWORD depth) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (callback == nullptr) return HLDOM_INVALID_PARAMETER;
  const std::string wanted_tag = tag == nullptr ? "" : ascii_lower(tag);
  std::vector<std::uint32_t> found;
  visit_descendants(
      *element,
      [&](Element& candidate) {
        if (!wanted_tag.empty() && wanted_tag != "*" && candidate.tag != wanted_tag) return false;
        if (attribute_name != nullptr) {
          const Attribute* attribute = find_attribute(candidate, attribute_name);
          if (attribute == nullptr) return false;
          if (attribute_value != nullptr && attribute->value != attribute_value) return false;
        }
        found.push_back(candidate.uid);
        return false;
      },
      depth);
  hand_over(found, callback, param);
  return HLDOM_OK;
}

}  // namespace korvel::engine
