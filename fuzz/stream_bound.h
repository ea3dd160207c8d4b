// What one input of the container targets may ask for: a zlib chunk stream
// at the top that declares more than kMaxFuzzStreamBytes decoded (or chunks
// that large) is skipped, and so is a texture container that would list more
// than kMaxFuzzTextures. Inflating a megabyte per input only repeats the
// same paths; the decoder's own checks on larger streams are not weakened,
// as they run before it allocates.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/byte_reader.h"
#include "archive/decode_zlib.h"
#include "fuzz/g1t_input.h"

namespace korvel::fuzz {

inline constexpr std::uint32_t kMaxFuzzStreamBytes = 64 * 1024;

inline bool stream_within_fuzz_bound(const std::uint8_t* data, std::size_t size) {
  for (const std::uint8_t big_endian : {std::uint8_t{0}, std::uint8_t{1}}) {
    const ByteReader reader(data, size, big_endian);
    ZlibStreamHeader header;
    if (read_zlib_stream_header(reader, &header) &&
        (header.total_size > kMaxFuzzStreamBytes || header.chunk_size > kMaxFuzzStreamBytes)) {
      return false;
    }
    if (lists_too_many_textures(data, size, big_endian != 0)) return false;
  }
  return true;
}

}  // namespace korvel::fuzz
