// SharedWideString: reference-counted UTF-16 text in one heap block (a 32-bit
// count, a 32-bit length in code units, the characters and a terminating
// zero). An empty text is no block at all.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel::htmlayout {

class SharedWideString {
 public:
  SharedWideString() = default;
  // A text longer than a 32-bit length can hold is taken as empty.
  SharedWideString(const char16_t* chars, std::size_t length);
  SharedWideString(const SharedWideString& other);
  SharedWideString& operator=(const SharedWideString& other);
  ~SharedWideString();

  const char16_t* c_str() const;  // "" when empty
  std::uint32_t length() const;
  std::uint32_t use_count() const;  // 0 when empty
  void release();

 private:
  std::uint32_t* block_ = nullptr;  // count, length, then the characters
};

}  // namespace korvel::htmlayout
