// Writes pack containers: a count, one (offset, size) pair per item, any
// extra header bytes, then the items. Items nest: any payload, another pack
// or a zlib chunk stream, can be an item.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/forge/byte_sink.h"

namespace korvel::forge {

struct PackItemSpec {
  Bytes payload;
  // The size its pair records; by default the payload's length. Fixtures
  // use it to write packs that are not well formed.
  std::optional<std::uint32_t> recorded_size;
};

struct PackSpec {
  std::vector<PackItemSpec> items;
  Bytes extra_header;  // after the pairs, before item 0
};

// Items are laid out as readers expect: item 0 right at the end of the
// header, every later item right after the one before it with that one's
// size rounded up to 4 (item 0's size is not rounded), zero padding between.
Bytes write_pack(const PackSpec& pack, bool big_endian);

// A pack of the given payloads with no extra header bytes.
Bytes pack_of(const std::vector<Bytes>& items, bool big_endian);

}  // namespace korvel::forge
