// Conditional byte-order conversion. Every archive number passes through these
// with the archive's big_endian flag; the same call converts both ways.
#pragma once

#include <cstdint>

namespace korvel {

// Flag 1 exchanges the two nibbles; any other flag leaves the byte as it is.
inline std::uint8_t cond_swap8(std::uint8_t value, std::uint8_t flag) {
  return flag == 1 ? static_cast<std::uint8_t>((value << 4) | (value >> 4)) : value;
}

inline std::uint16_t cond_swap16(std::uint16_t value, std::uint8_t flag) {
  return flag == 1 ? static_cast<std::uint16_t>((value << 8) | (value >> 8)) : value;
}

inline std::uint32_t cond_swap32(std::uint32_t value, std::uint8_t flag) {
  return flag == 1 ? __builtin_bswap32(value) : value;
}

inline std::uint64_t cond_swap64(std::uint64_t value, std::uint8_t flag) {
  return flag == 1 ? __builtin_bswap64(value) : value;
}

}  // namespace korvel
