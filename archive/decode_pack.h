// The pack container, apart from the tree: recognition and item placement.
// Archive::decode_pack puts them together; decode_zlib uses the recognition
// to make sure a stream it builds is not taken for a pack.
#pragma once

#include <cstdint>

#include "archive/byte_reader.h"

namespace korvel {

struct PackItem {
  std::uint64_t offset = 0;
  std::uint32_t recorded_size = 0;  // as its pair holds it
  std::uint64_t size = 0;           // as taken: item 0 as recorded, the others rounded up to 4
};

// True when the payload is a pack container; gives its item count and its
// header length (item 0's offset). Only reads the payload.
bool read_pack_header(const ByteReader& payload, std::uint32_t* item_count,
                      std::uint32_t* header_length);

// Item index of a pack that read_pack_header accepted.
PackItem read_pack_item(const ByteReader& payload, std::uint32_t index);

}  // namespace korvel
