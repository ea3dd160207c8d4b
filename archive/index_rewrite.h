// Writing a whole new index for an opened archive, the crash-safe way a
// replacement does: checked to read back in the same byte order, then
// written beside the old one and renamed over it.
#pragma once

#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/index_entry.h"

namespace korvel {

// True when both records hold the same four fields.
bool same_record(const IndexEntry& a, const IndexEntry& b);

// The name of the archive's first data file, which carries its writers' lock.
std::string first_data_file_of(const Archive& archive);

// Writes host_records, in the archive's byte order, as its index. False, with
// the reason, when the index would then read in the other byte order or the
// write fails; the index is then as it was.
bool rewrite_index(const Archive& archive, const std::vector<IndexEntry>& host_records,
                   std::string* error);

}  // namespace korvel
