// One compressed chunk of a zlib chunk stream, inflated into room of a known
// size, with the answers of zlib's uncompress.
#pragma once

#include <zlib.h>

#include <cstdint>

namespace korvel {

// Z_OK with *produced set when the chunk's zlib stream decodes completely
// into at most *produced bytes at out; otherwise zlib's own error, and what
// out holds then is not defined.
int inflate_chunk(std::uint8_t* out, uLongf* produced, const std::uint8_t* data,
                  std::uint32_t data_length);

}  // namespace korvel
