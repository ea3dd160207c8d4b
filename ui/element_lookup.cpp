// Element helpers that look elements up: by id, by formatted selector
// downwards, and upwards through the ancestors.
#include <string>

#include "platform/win/text_conversion.h"
#include "ui/dom_element.h"
#include "ui/selector_format.h"

namespace korvel::htmlayout::dom {

HELEMENT element::get_element_by_id(const char* id) const {
  if (he_ == nullptr || id == nullptr) return nullptr;
  // The thread's ANSI code page is UTF-8 here; the text is converted whole
  // whatever its length, so short and long ids go the same way.
  const std::u16string wide_id = win::utf8_to_utf16(id);
  find_first_callback found;
  engine::HTMLayoutVisitElements(he_, nullptr, "id", wide_id.c_str(), callback_function, &found, 0);
  return found.hfound;
}

HELEMENT element::find_first(const char* selector_format, ...) const {
  if (he_ == nullptr) return nullptr;
  char selector[kSelectorBufferUnits];
  va_list args;
  va_start(args, selector_format);
  const bool fits = format_selector(selector, selector_format, args);
  va_end(args);
  if (!fits) return nullptr;
  find_first_callback found;
  engine::HTMLayoutSelectElements(he_, selector, callback_function, &found);
  return found.hfound;
}

HELEMENT element::find_first(const char16_t* selector_format, ...) const {
  if (he_ == nullptr) return nullptr;
  char16_t selector[kSelectorBufferUnits];
  va_list args;
  va_start(args, selector_format);
  const bool fits = format_selector(selector, selector_format, args);
  va_end(args);
  if (!fits) return nullptr;
  find_first_callback found;
  engine::HTMLayoutSelectElementsW(he_, selector, callback_function, &found);
  return found.hfound;
}

HELEMENT element::select_parent(const char* selector, engine::UINT depth) const {
  HELEMENT found = nullptr;
  engine::HTMLayoutSelectParent(he_, selector, depth, &found);
  return found;
}

bool element::test(const char* selector_format, ...) const {
  if (he_ == nullptr) return false;
  char selector[kSelectorBufferUnits];
  va_list args;
  va_start(args, selector_format);
  const bool fits = format_selector(selector, selector_format, args);
  va_end(args);
  return fits && select_parent(selector, 1) != nullptr;
}

HELEMENT element::find_nearest_parent(const char* selector_format, ...) const {
  if (he_ == nullptr) return nullptr;
  char selector[kSelectorBufferUnits];
  va_list args;
  va_start(args, selector_format);
  const bool fits = format_selector(selector, selector_format, args);
  va_end(args);
  return fits ? select_parent(selector, 0) : nullptr;
}

bool element::is_focused() const {
  return test(":focus") || find_nearest_parent(":focus") != nullptr;
}

}  // namespace korvel::htmlayout::dom
