// The index file: a flat array of 32-byte records, no header, no trailer, all
// fields in the archive's byte order.
#pragma once

#include <cstdint>

#include "archive/byte_order.h"

namespace korvel {

struct IndexEntry {
  std::uint64_t offset;       // payload position in its data file
  std::uint64_t size_uncomp;  // decoded size, as the archive records it
  std::uint64_t size_comp;    // stored size: the bytes to read
  std::uint64_t flag;         // shown, not interpreted

  bool empty() const { return size_uncomp == 0 && size_comp == 0; }
};
static_assert(sizeof(IndexEntry) == 32, "index records are 32 bytes on disk");

constexpr std::uint64_t kIndexRecordSize = sizeof(IndexEntry);

// Every field converted with cond_swap64: from the archive's order to the
// host's and back.
inline IndexEntry swapped_record(const IndexEntry& record, std::uint8_t flag) {
  return {cond_swap64(record.offset, flag), cond_swap64(record.size_uncomp, flag),
          cond_swap64(record.size_comp, flag), cond_swap64(record.flag, flag)};
}

// The index has no byte-order mark: a first record that, read little-endian,
// would decode to more bytes than the whole first data file holds can only be
// big-endian. `first_as_stored` holds the record's bytes read little-endian.
inline bool index_reads_big_endian(const IndexEntry& first_as_stored,
                                   std::uint64_t first_data_file_size) {
  return first_as_stored.size_uncomp > first_data_file_size;
}

}  // namespace korvel
