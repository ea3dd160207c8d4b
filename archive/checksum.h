#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Standard CRC-32 (the value zlib's crc32 gives); 0 for absent or empty data.
std::uint32_t crc32_of(const void* data, std::size_t length);

}  // namespace korvel
