// Builds payload bytes in a chosen byte order, for the forge's writers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace korvel::forge {

using Bytes = std::vector<std::uint8_t>;

class ByteSink {
 public:
  explicit ByteSink(bool big_endian) : big_endian_(big_endian) {}

  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u16(std::uint16_t value) { put(value, 2); }
  void u32(std::uint32_t value) { put(value, 4); }
  void u64(std::uint64_t value) { put(value, 8); }
  void f32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    u32(bits);
  }
  void raw(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void raw(const Bytes& data) { raw(data.data(), data.size()); }
  void text(const std::string& value) { raw(value.data(), value.size()); }
  void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
  void pad_to(std::size_t alignment) {
    while (bytes_.size() % alignment != 0) bytes_.push_back(0);
  }
  // Overwrites a 32-bit value already written (a size known only later).
  void patch_u32(std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      const int shift = big_endian_ ? 24 - 8 * i : 8 * i;
      bytes_[offset + i] = static_cast<std::uint8_t>(value >> shift);
    }
  }

  std::size_t size() const { return bytes_.size(); }
  bool big_endian() const { return big_endian_; }
  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  void put(std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
      const int shift = big_endian_ ? 8 * (width - 1 - i) : 8 * i;
      bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  }

  bool big_endian_;
  Bytes bytes_;
};

}  // namespace korvel::forge
