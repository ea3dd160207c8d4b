// An allocator whose containers leave new elements of trivial types
// uninitialised: for large arrays that a read fills at once, where zeroing
// first would only cost time.
#pragma once

#include <memory>
#include <new>
#include <utility>

namespace korvel {

template <typename T>
class DefaultInitAllocator : public std::allocator<T> {
 public:
  template <typename U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };

  DefaultInitAllocator() = default;
  template <typename U>
  DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  // resize() without a value default-initialises: nothing is written.
  template <typename U>
  void construct(U* place) noexcept(std::is_nothrow_default_constructible<U>::value) {
    ::new (static_cast<void*>(place)) U;
  }
  template <typename U, typename... Args>
  void construct(U* place, Args&&... args) {
    ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
  }
};

}  // namespace korvel
