// Where a raw deflate stream (RFC 1951) has its last block and its end, found
// by reading the blocks' codes without inflating them: joining bands that
// were deflated apart needs both, and inflating a band only to find them
// took longer than deflating it when its matches are short and many.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel::d3d9 {

struct DeflateEnd {
  std::size_t last_block_bit = 0;  // the last block's first header bit (its "final" bit)
  std::size_t end_bit = 0;         // the first bit after the last block's end code
  std::size_t inflated_size = 0;   // the bytes the stream inflates to
};

// False when the bytes are not one whole stream: a code that no table holds,
// a distance before the start, a length field that lies, or bits that run
// past the end. Nothing beyond the stream's bytes is ever read.
bool find_deflate_end(const std::uint8_t* stream, std::size_t length, DeflateEnd* end);

}  // namespace korvel::d3d9
