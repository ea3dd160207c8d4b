// The engine interface's element operations: references, geometry, name,
// attributes, state and navigation.
#include "platform/engine/element_handles.h"
#include "platform/engine/focus.h"
#include "platform/engine/host_bridge.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/layout_report.h"
#include "platform/engine/page_changes.h"

namespace korvel::engine {
namespace {

void repaint(const Element& element) {
  if (const View* view = view_of(element)) host::invalidate(view->window);
}

}  // namespace

HLDOM_RESULT HTMLayout_UseElement(HELEMENT he) {
  return use_element(he);
}

HLDOM_RESULT HTMLayout_UnuseElement(HELEMENT he) {
  return unuse_element(he);
}

HLDOM_RESULT HTMLayoutGetElementLocation(HELEMENT he, RECT* location, UINT kind) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (location == nullptr || (kind != ROOT_RELATIVE && kind != VIEW_RELATIVE)) {
    return HLDOM_INVALID_PARAMETER;
  }
  RECT box = element->box;
  if (kind == ROOT_RELATIVE) {
    // Relative to the window's root, so that frames' elements are placed too.
    const RECT& root = topmost_of(*element).box;
    box = RECT{box.left - root.left, box.top - root.top, box.right - root.left,
               box.bottom - root.top};
  }
  *location = box;
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutIsElementVisible(HELEMENT he, BOOL* visible) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (visible == nullptr) return HLDOM_INVALID_PARAMETER;
  *visible = element_visible(*element) ? 1 : 0;
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementType(HELEMENT he, LPCSTR* type) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (type == nullptr) return HLDOM_INVALID_PARAMETER;
  *type = element->tag.c_str();
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementUID(HELEMENT he, UINT* uid) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (uid == nullptr) return HLDOM_INVALID_PARAMETER;
  *uid = element->uid;
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetAttributeByName(HELEMENT he, LPCSTR name, LPCWSTR* value) {
  if (value != nullptr) *value = nullptr;
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (name == nullptr || value == nullptr) return HLDOM_INVALID_PARAMETER;
  const Attribute* attribute = find_attribute(*element, name);
  if (attribute != nullptr) *value = attribute->value.c_str();
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutSetAttributeByName(HELEMENT he, LPCSTR name, LPCWSTR value) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (name == nullptr || *name == 0) return HLDOM_INVALID_PARAMETER;
  if (value == nullptr) {
    remove_attribute(*element, name);
  } else {
    set_attribute(*element, name, value);
  }
  touch(*element);
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetAttributeCount(HELEMENT he, UINT* count) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (count == nullptr) return HLDOM_INVALID_PARAMETER;
  *count = static_cast<UINT>(element->attributes.size());
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetNthAttribute(HELEMENT he, UINT index, LPCSTR* name, LPCWSTR* value) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (name == nullptr || value == nullptr || index >= element->attributes.size()) {
    return HLDOM_INVALID_PARAMETER;
  }
  *name = element->attributes[index].name.c_str();
  *value = element->attributes[index].value.c_str();
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementState(HELEMENT he, UINT* state) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (state == nullptr) return HLDOM_INVALID_PARAMETER;
  *state = element->state;
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutSetElementState(HELEMENT he, UINT bits_to_set, UINT bits_to_clear,
                                      BOOL update) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  // Expanded and collapsed are the two sides of one state: setting one
  // clears the other.
  if ((bits_to_set & STATE_EXPANDED) != 0 && (bits_to_set & STATE_COLLAPSED) == 0) {
    bits_to_clear |= STATE_COLLAPSED;
  }
  if ((bits_to_set & STATE_COLLAPSED) != 0 && (bits_to_set & STATE_EXPANDED) == 0) {
    bits_to_clear |= STATE_EXPANDED;
  }
  const UINT plain_set = bits_to_set & ~STATE_FOCUS;
  const UINT plain_clear = bits_to_clear & ~STATE_FOCUS;
  element->state = (element->state | plain_set) & ~plain_clear;
  touch(*element);
  if (update != 0) repaint(*element);
  // Focus is the engine's: it moves, with its events.
  View* view = view_of(*element);
  if (view != nullptr && (bits_to_set & STATE_FOCUS) != 0) {
    set_focus(*view, element, false);
  } else if (view != nullptr && (bits_to_clear & STATE_FOCUS) != 0 &&
             focused_element(*view) == element) {
    set_focus(*view, nullptr, false);
  }
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetParentElement(HELEMENT he, HELEMENT* parent) {
  if (parent != nullptr) *parent = nullptr;
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (parent == nullptr) return HLDOM_INVALID_PARAMETER;
  *parent = handle_of(parent_of(*element));
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementIndex(HELEMENT he, UINT* index) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (index == nullptr) return HLDOM_INVALID_PARAMETER;
  *index = static_cast<UINT>(element_index(*element));
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetChildrenCount(HELEMENT he, UINT* count) {
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (count == nullptr) return HLDOM_INVALID_PARAMETER;
  *count = static_cast<UINT>(element_child_count(*element));
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetNthChild(HELEMENT he, UINT index, HELEMENT* child) {
  if (child != nullptr) *child = nullptr;
  HLDOM_RESULT result = HLDOM_OK;
  Element* element = lookup_element(he, &result);
  if (element == nullptr) return result;
  if (child == nullptr) return HLDOM_INVALID_PARAMETER;
  Element* found = nth_element_child(*element, index);
  if (found == nullptr) return HLDOM_INVALID_PARAMETER;
  *child = handle_of(found);
  return HLDOM_OK;
}

}  // namespace korvel::engine
