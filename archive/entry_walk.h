// The walk that load_entry and replace_entry share: entries are listed from 0
// in a transient tree while the data-file rule is applied, because an entry's
// data file depends on every record before it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/archive.h"
#include "archive/listing_arena.h"

namespace korvel {

struct EntryLocation {
  std::uint32_t number = 0;
  IndexEntry record{};
  std::string data_file;           // the data file the rule names for it
  ContentNode* element = nullptr;  // its "idx_No.%08d" element
};

// The name of data file `file_number` ("%s.bin" for a single file).
std::string data_file_name(const std::string& base_path, std::int32_t first_bin_number,
                           std::int32_t file_number);

// The data-file rule: walking from entry 0 with first_bin_number, in a
// series every entry after the first whose offset is 0 begins the next data
// file; empty entries count too. Entry i's file number from entry i - 1's.
inline std::int32_t next_data_file_number(const Archive& archive, std::uint32_t i,
                                          std::int32_t previous) {
  const bool begins_file =
      archive.first_bin_number != -1 && i != 0 && archive.entries[i].offset == 0;
  return begins_file ? previous + 1 : previous;
}

// Appends the root and one element per entry up to the requested one. Returns
// the requested entry when it exists and is not empty; otherwise every entry
// is listed and nothing is returned.
std::optional<EntryLocation> walk_to_entry(const Archive& archive, ContentTree& tree,
                                           long long requested_number);

// Lists every entry, calling visit for each one that is not empty; visit
// returns false to end the walk there. listed_at_most, when the caller knows
// it, sizes the listing's memory.
template <typename Visitor>
void for_each_entry(const Archive& archive, ContentTree& tree, Visitor visit,
                    std::uint32_t listed_at_most = UINT32_MAX);

// Reads an entry's stored bytes into a buffer with the decoders' slack. False
// (with a reason, and its kind when kind is given) when the data file is
// missing or shorter than the record says: nothing undefined is ever dispatched.
bool read_entry_payload(const EntryLocation& location, ByteBuffer* payload, std::string* error,
                        ErrorKind* kind = nullptr);

// Decodes a payload (size bytes, followed by the slack every payload has)
// apart from any data file, as a reader of archive decodes entry number for
// key: into checker, below a lone "entry" element of tree, which it returns.
// For the checks that bytes read as what they claim before they are written.
ContentNode* decode_apart(const Archive& archive, const std::string& key, std::uint32_t number,
                          const std::uint8_t* payload, std::uint32_t size, Archive* checker,
                          ContentTree* tree);

namespace detail {
// Appends the root element, then the element of entry i; used by the walks.
ContentNode* append_root(ContentTree& tree);
ContentNode* append_entry_element(ListingArena& arena, ContentNode* root, std::uint32_t number,
                                  const IndexEntry& record);
}  // namespace detail

template <typename Visitor>
void for_each_entry(const Archive& archive, ContentTree& tree, Visitor visit,
                    std::uint32_t listed_at_most) {
  ContentNode* root = detail::append_root(tree);
  ListingArena arena(tree,
                     archive.entry_count < listed_at_most ? archive.entry_count : listed_at_most);
  std::int32_t file_number = archive.first_bin_number;
  // One location, its data file named again only when the number moves on:
  // a large index would otherwise format a path for every entry.
  EntryLocation location;
  std::int32_t named_file_number = file_number;
  location.data_file = data_file_name(archive.base_path, archive.first_bin_number, file_number);
  for (std::uint32_t i = 0; i < archive.entry_count && i < archive.entries.size(); ++i) {
    const IndexEntry& record = archive.entries[i];
    ContentNode* element = detail::append_entry_element(arena, root, i, record);
    file_number = next_data_file_number(archive, i, file_number);
    if (record.empty()) continue;
    if (file_number != named_file_number) {
      location.data_file = data_file_name(archive.base_path, archive.first_bin_number, file_number);
      named_file_number = file_number;
    }
    location.number = i;
    location.record = record;
    location.element = element;
    if (!visit(location)) return;
  }
}

}  // namespace korvel
