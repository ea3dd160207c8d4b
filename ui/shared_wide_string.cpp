#include "ui/shared_wide_string.h"

#include <cstring>
#include <limits>
#include <new>

namespace korvel::htmlayout {
namespace {

constexpr std::size_t kHeaderWords = 2;

char16_t* characters_of(std::uint32_t* block) {
  return reinterpret_cast<char16_t*>(block + kHeaderWords);
}

}  // namespace

SharedWideString::SharedWideString(const char16_t* chars, std::size_t length) {
  if (chars == nullptr || length == 0 || length >= std::numeric_limits<std::uint32_t>::max())
    return;
  const std::size_t bytes = kHeaderWords * sizeof(std::uint32_t) + (length + 1) * sizeof(char16_t);
  block_ = static_cast<std::uint32_t*>(::operator new(bytes));
  block_[0] = 1;
  block_[1] = static_cast<std::uint32_t>(length);
  std::memcpy(characters_of(block_), chars, length * sizeof(char16_t));
  characters_of(block_)[length] = 0;
}

SharedWideString::SharedWideString(const SharedWideString& other) : block_(other.block_) {
  if (block_ != nullptr) ++block_[0];
}

SharedWideString& SharedWideString::operator=(const SharedWideString& other) {
  if (this != &other) {
    if (other.block_ != nullptr) ++other.block_[0];
    release();
    block_ = other.block_;
  }
  return *this;
}

SharedWideString::~SharedWideString() {
  release();
}

const char16_t* SharedWideString::c_str() const {
  return block_ == nullptr ? u"" : characters_of(block_);
}

std::uint32_t SharedWideString::length() const {
  return block_ == nullptr ? 0 : block_[1];
}

std::uint32_t SharedWideString::use_count() const {
  return block_ == nullptr ? 0 : block_[0];
}

void SharedWideString::release() {
  if (block_ != nullptr && --block_[0] == 0) ::operator delete(block_);
  block_ = nullptr;
}

}  // namespace korvel::htmlayout
