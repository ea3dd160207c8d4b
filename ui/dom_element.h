// htmlayout::dom::element, a counted handle to a page element, with the
// element helpers the user interface uses; and the visitor the lookups use.
// A handle whose reference cannot be taken is held as null, and every helper
// on a null element does nothing and answers null, zero or false. Helpers that
// answer elements answer raw handles without a reference; callers wrap them.
#pragma once

#include "platform/engine/htmlayout.h"

namespace korvel::htmlayout {

using engine::HELEMENT;

namespace dom {

class callback {
 public:
  // True stops the visit.
  virtual bool on_element(HELEMENT he) = 0;
  virtual ~callback() = default;
};

// The plain function the engine calls visitors through; param is a callback.
engine::BOOL callback_function(HELEMENT he, engine::LPVOID param);

class element {
 public:
  element() = default;
  element(HELEMENT he);  // NOLINT: wrapping a raw handle is the common case
  element(const element& other);
  element& operator=(const element& other);
  element& operator=(HELEMENT he);
  ~element();

  void release();
  HELEMENT get() const { return he_; }
  bool is_valid() const { return he_ != nullptr; }
  operator HELEMENT() const { return he_; }  // NOLINT

  // Content box; kind 1 relative to the root, 4 relative to the view.
  engine::RECT get_location(engine::UINT kind) const;
  // Empty bytes clear the element's content instead.
  void set_html(const engine::BYTE* bytes, std::size_t length,
                engine::UINT where = engine::SIH_REPLACE_CONTENT) const;
  void update(bool remeasure) const;
  engine::LPCWSTR get_attribute(const char* name) const;              // null when absent
  void set_attribute(const char* name, engine::LPCWSTR value) const;  // null value removes
  engine::UINT get_state() const;
  void set_state(engine::UINT bits_to_set, engine::UINT bits_to_clear, bool update = true) const;

  HELEMENT parent() const;
  HELEMENT root() const;  // the topmost ancestor; the element itself without a parent
  HELEMENT next_sibling() const;
  HELEMENT prev_sibling() const;
  HELEMENT first_sibling() const;
  HELEMENT last_sibling() const;

  // First element of the subtree whose "id" equals id (ANSI text).
  HELEMENT get_element_by_id(const char* id) const;
  // First match of a formatted selector below the element.
  HELEMENT find_first(const char* selector_format, ...) const;
  HELEMENT find_first(const char16_t* selector_format, ...) const;
  // Whether the element itself matches.
  bool test(const char* selector_format, ...) const;
  // The element or its nearest ancestor that matches.
  HELEMENT find_nearest_parent(const char* selector_format, ...) const;
  // The focus test: the element matches ":focus", or it or an ancestor does.
  bool is_focused() const;

  class find_first_callback : public callback {
   public:
    bool on_element(HELEMENT he) override;
    HELEMENT hfound = nullptr;  // no reference of its own
  };

 private:
  void take(HELEMENT he);
  HELEMENT select_parent(const char* selector, engine::UINT depth) const;

  HELEMENT he_ = nullptr;
};

}  // namespace dom
}  // namespace korvel::htmlayout
