#include "ui/dom_element.h"

namespace korvel::htmlayout::dom {

engine::BOOL callback_function(HELEMENT he, engine::LPVOID param) {
  if (param == nullptr) return 1;
  return static_cast<callback*>(param)->on_element(he) ? 1 : 0;
}

bool element::find_first_callback::on_element(HELEMENT he) {
  hfound = he;
  return true;
}

element::element(HELEMENT he) {
  take(he);
}

element::element(const element& other) {
  take(other.he_);
}

element& element::operator=(const element& other) {
  if (this != &other) {
    const HELEMENT he = other.he_;
    release();
    take(he);
  }
  return *this;
}

element& element::operator=(HELEMENT he) {
  release();
  take(he);
  return *this;
}

element::~element() {
  release();
}

void element::take(HELEMENT he) {
  he_ = he != nullptr && engine::HTMLayout_UseElement(he) == engine::HLDOM_OK ? he : nullptr;
}

void element::release() {
  if (he_ != nullptr) engine::HTMLayout_UnuseElement(he_);
  he_ = nullptr;
}

}  // namespace korvel::htmlayout::dom
