// All byte access of the decoders goes through these two classes: reads past
// the end fail (or read as zero), writes past the end are refused, and the
// archive's byte order is applied in this one place.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/byte_order.h"

namespace korvel {

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::uint64_t size, std::uint8_t big_endian)
      : data_(data), size_(data ? size : 0), big_endian_(big_endian) {}

  std::uint64_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }
  std::uint8_t big_endian() const { return big_endian_; }

  // True when [offset, offset + count) lies inside the buffer; 64-bit sums
  // cannot wrap for the 32-bit quantities the formats hold.
  bool has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }

  bool read_u8(std::uint64_t offset, std::uint8_t* value) const {
    if (!has(offset, 1)) return false;
    *value = data_[offset];
    return true;
  }

  bool read_u16(std::uint64_t offset, std::uint16_t* value) const {
    if (!has(offset, 2)) return false;
    std::uint16_t raw;
    std::memcpy(&raw, data_ + offset, 2);
    *value = cond_swap16(raw, big_endian_);
    return true;
  }

  // Reads little-endian, then reverses when the archive is big-endian (the
  // host is little-endian on every platform we build for).
  bool read_u32(std::uint64_t offset, std::uint32_t* value) const {
    if (!has(offset, 4)) return false;
    std::uint32_t raw;
    std::memcpy(&raw, data_ + offset, 4);
    *value = cond_swap32(raw, big_endian_);
    return true;
  }

  std::uint8_t u8_or_zero(std::uint64_t offset) const {
    std::uint8_t value = 0;
    return read_u8(offset, &value) ? value : 0;
  }
  std::uint32_t u32_or_zero(std::uint64_t offset) const {
    std::uint32_t value = 0;
    return read_u32(offset, &value) ? value : 0;
  }

  bool bytes_equal(std::uint64_t offset, const void* expected, std::uint64_t count) const {
    // memcmp must not see a null pointer, even for no bytes.
    return has(offset, count) && (count == 0 || std::memcmp(data_ + offset, expected, count) == 0);
  }

 private:
  const std::uint8_t* data_;
  std::uint64_t size_;
  std::uint8_t big_endian_;
};

class ByteWriter {
 public:
  ByteWriter(std::uint8_t* data, std::uint64_t size, std::uint8_t big_endian)
      : data_(data), size_(data ? size : 0), big_endian_(big_endian) {}

  bool has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }

  bool write_u32(std::uint64_t offset, std::uint32_t value) {
    if (!has(offset, 4)) return false;
    const std::uint32_t raw = cond_swap32(value, big_endian_);
    std::memcpy(data_ + offset, &raw, 4);
    return true;
  }

  bool write_u16(std::uint64_t offset, std::uint16_t value) {
    if (!has(offset, 2)) return false;
    const std::uint16_t raw = cond_swap16(value, big_endian_);
    std::memcpy(data_ + offset, &raw, 2);
    return true;
  }

  bool write_bytes(std::uint64_t offset, const void* bytes, std::uint64_t count) {
    if (!has(offset, count)) return false;
    if (count > 0) std::memcpy(data_ + offset, bytes, count);
    return true;
  }

 private:
  std::uint8_t* data_;
  std::uint64_t size_;
  std::uint8_t big_endian_;
};

}  // namespace korvel
