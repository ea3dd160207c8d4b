// Little-endian fields for korvel's own files (the replacement journal, mod
// files): a writer that appends and a cursor that reads in order. The cursor
// never reads outside its bytes; a read past the end, or a text longer than
// its limit, fails and every later read fails too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace korvel {

class FieldWriter {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u16(std::uint16_t value) { little_endian(value, 2); }
  void u32(std::uint32_t value) { little_endian(value, 4); }
  void u64(std::uint64_t value) { little_endian(value, 8); }
  void raw(const void* data, std::size_t length) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + length);
  }
  // A 16-bit length, then the bytes; the caller keeps text under its limit.
  void text(const std::string& value) {
    u16(static_cast<std::uint16_t>(value.size()));
    raw(value.data(), value.size());
  }
  // Overwrites 4 bytes written earlier (a length known only at the end).
  void patch_u32(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
      bytes_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  void little_endian(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes_;
};

class FieldCursor {
 public:
  FieldCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return at_; }
  std::size_t remaining() const { return ok_ ? size_ - at_ : 0; }

  std::uint8_t u8() { return static_cast<std::uint8_t>(little_endian(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(little_endian(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(little_endian(4)); }
  std::uint64_t u64() { return little_endian(8); }
  // A 16-bit length, then that many bytes; longer than max_length fails.
  std::string text(std::size_t max_length) {
    const std::uint16_t length = u16();
    if (length > max_length || !take(length)) {
      ok_ = false;
      return "";
    }
    return std::string(reinterpret_cast<const char*>(data_ + at_ - length), length);
  }
  // Where the next count bytes lie, or null (and failed) when they do not.
  const std::uint8_t* bytes(std::size_t count) {
    return take(count) ? data_ + at_ - count : nullptr;
  }

 private:
  bool take(std::size_t count) {
    if (!ok_ || count > size_ - at_) {
      ok_ = false;
      return false;
    }
    at_ += count;
    return true;
  }
  std::uint64_t little_endian(int width) {
    if (!take(static_cast<std::size_t>(width))) return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
      value |= static_cast<std::uint64_t>(
                   data_[at_ - static_cast<std::size_t>(width) + static_cast<std::size_t>(i)])
               << (8 * i);
    }
    return value;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace korvel
