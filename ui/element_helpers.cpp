// Element helpers: geometry, content, attributes, state and siblings.
#include "ui/dom_element.h"

namespace korvel::htmlayout::dom {

engine::RECT element::get_location(engine::UINT kind) const {
  engine::RECT location{0, 0, 0, 0};
  if (he_ != nullptr) engine::HTMLayoutGetElementLocation(he_, &location, kind);
  return location;
}

void element::set_html(const engine::BYTE* bytes, std::size_t length, engine::UINT where) const {
  if (he_ == nullptr) return;
  if (bytes != nullptr && length != 0 && length <= 0xFFFFFFFFu) {
    engine::HTMLayoutSetElementHtml(he_, bytes, static_cast<engine::DWORD>(length), where);
  } else {
    engine::HTMLayoutSetElementInnerText16(he_, u"", 0);
  }
}

void element::update(bool remeasure) const {
  if (he_ != nullptr) engine::HTMLayoutUpdateElement(he_, remeasure ? 1 : 0);
}

engine::LPCWSTR element::get_attribute(const char* name) const {
  engine::LPCWSTR value = nullptr;
  if (he_ != nullptr) engine::HTMLayoutGetAttributeByName(he_, name, &value);
  return value;
}

void element::set_attribute(const char* name, engine::LPCWSTR value) const {
  if (he_ != nullptr) engine::HTMLayoutSetAttributeByName(he_, name, value);
}

engine::UINT element::get_state() const {
  engine::UINT state = 0;
  if (he_ != nullptr) engine::HTMLayoutGetElementState(he_, &state);
  return state;
}

void element::set_state(engine::UINT bits_to_set, engine::UINT bits_to_clear, bool update) const {
  if (he_ != nullptr)
    engine::HTMLayoutSetElementState(he_, bits_to_set, bits_to_clear, update ? 1 : 0);
}

HELEMENT element::parent() const {
  HELEMENT found = nullptr;
  if (he_ != nullptr) engine::HTMLayoutGetParentElement(he_, &found);
  return found;
}

HELEMENT element::root() const {
  if (he_ == nullptr) return nullptr;
  element current(he_);
  for (;;) {
    element up(current.parent());
    if (!up.is_valid()) return current.get();
    current = up;
  }
}

namespace {

// The parent's child at index; null for an index outside its children.
HELEMENT nth_child_of(HELEMENT parent, long long index) {
  engine::UINT count = 0;
  if (parent == nullptr || index < 0 ||
      engine::HTMLayoutGetChildrenCount(parent, &count) != engine::HLDOM_OK || index >= count) {
    return nullptr;
  }
  HELEMENT child = nullptr;
  engine::HTMLayoutGetNthChild(parent, static_cast<engine::UINT>(index), &child);
  return child;
}

long long index_of(HELEMENT he) {
  engine::UINT index = 0;
  if (engine::HTMLayoutGetElementIndex(he, &index) != engine::HLDOM_OK) return -1;
  return index;
}

}  // namespace

HELEMENT element::next_sibling() const {
  if (he_ == nullptr) return nullptr;
  const element up(parent());
  return nth_child_of(up, index_of(he_) + 1);
}

HELEMENT element::prev_sibling() const {
  if (he_ == nullptr) return nullptr;
  const element up(parent());
  const long long index = index_of(he_);
  return index <= 0 ? nullptr : nth_child_of(up, index - 1);
}

HELEMENT element::first_sibling() const {
  if (he_ == nullptr) return nullptr;
  const element up(parent());
  return nth_child_of(up, 0);
}

HELEMENT element::last_sibling() const {
  if (he_ == nullptr) return nullptr;
  const element up(parent());
  engine::UINT count = 0;
  if (!up.is_valid() || engine::HTMLayoutGetChildrenCount(up, &count) != engine::HLDOM_OK) {
    return nullptr;
  }
  return nth_child_of(up, static_cast<long long>(count) - 1);
}

}  // namespace korvel::htmlayout::dom
