// The pack container, apart from the tree: recognition and item placement.
// Archive::decode_pack puts them together; decode_zlib uses the recognition
// to make sure a stream it builds is not taken for a pack.
#pragma once

#include <cstdint>

#include "archive/archive.h"
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

// Puts a rebuilt pack together, item by item in order: the old header
// (count, pairs, rest) is kept, and each item's pair is rewritten to where
// and how long the item now is. Placement follows the reading rule (item 0
// unrounded, the others rounded up to 4), so the pack reads back as written.
class PackRebuilder {
 public:
  PackRebuilder(const ByteReader& payload, std::uint32_t header_length);

  // Item index, as old_item says it was, rebuilt as content_size bytes of
  // content. An item that did not change keeps the size its pair recorded.
  // False when the pack would outgrow what a payload may hold.
  bool add_item(std::uint32_t index, const PackItem& old_item, const std::uint8_t* content,
                std::uint32_t content_size);

  // The pack after every item was added, with zero slack after it. False
  // (outputs untouched) when it would not be read back as a pack, e.g. when
  // its items shrank to nothing.
  bool finish(ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
              std::uint32_t* out_stored_size);

 private:
  ByteReader payload_;
  std::uint32_t header_length_;
  ByteBuffer rebuilt_;
};

}  // namespace korvel
