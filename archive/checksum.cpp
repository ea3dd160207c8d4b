#include "archive/checksum.h"

#include <zlib.h>

namespace korvel {

std::uint32_t crc32_of(const void* data, std::size_t length) {
  if (data == nullptr || length == 0) return 0;
  // zlib takes 32-bit lengths per call; larger buffers are fed in slices.
  uLong crc = crc32(0L, Z_NULL, 0);
  auto bytes = static_cast<const Bytef*>(data);
  while (length > 0) {
    const uInt slice = length > 0x40000000u ? 0x40000000u : static_cast<uInt>(length);
    crc = crc32(crc, bytes, slice);
    bytes += slice;
    length -= slice;
  }
  return static_cast<std::uint32_t>(crc);
}

}  // namespace korvel
