// The index file: a flat array of 32-byte records, no header, no trailer, all
// fields in the archive's byte order.
#pragma once

#include <cstdint>

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

}  // namespace korvel
