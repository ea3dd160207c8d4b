// The walk that load_entry and replace_entry share: entries are listed from 0
// in a transient tree while the data-file rule is applied, because an entry's
// data file depends on every record before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/archive.h"

namespace korvel {

struct EntryLocation {
  std::uint32_t number = 0;
  IndexEntry record{};
  std::string data_file;          // the data file the rule names for it
  ContentNode* element = nullptr;  // its "idx_No.%08d" element
};

// The name of data file `file_number` ("%s.bin" for a single file).
std::string data_file_name(const std::string& base_path, std::int32_t first_bin_number,
                           std::int32_t file_number);

// Appends the root and one element per entry up to the requested one. Returns
// the requested entry when it exists and is not empty; otherwise every entry
// is listed and nothing is returned.
std::optional<EntryLocation> walk_to_entry(const Archive& archive, ContentTree& tree,
                                           long long requested_number);

// Reads an entry's stored bytes into a buffer with the decoders' slack. False
// (with a reason) when the data file is missing or shorter than the record
// says: nothing undefined is ever dispatched.
bool read_entry_payload(const EntryLocation& location, ByteBuffer* payload, std::string* error);

}  // namespace korvel
