#include "archive/entry_walk.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/large_buffer.h"
#include "archive/limits.h"

namespace korvel {

std::string data_file_name(const std::string& base_path, std::int32_t first_bin_number,
                           std::int32_t file_number) {
  if (first_bin_number == -1) return format_text("%s.bin", base_path.c_str());
  return format_text("%s%d.bin", base_path.c_str(), file_number);
}

namespace detail {

ContentNode* append_root(ContentTree& tree) {
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  return root;
}

ContentNode* append_entry_element(ListingArena& arena, ContentNode* root, std::uint32_t number,
                                  const IndexEntry& record) {
  const std::uint64_t fields[4] = {record.offset, record.size_uncomp, record.size_comp,
                                   record.flag};
  ContentNode* element = arena.entry_element(number, fields);
  root->append_node(element);
  return element;
}

}  // namespace detail

std::optional<EntryLocation> walk_to_entry(const Archive& archive, ContentTree& tree,
                                           long long requested_number) {
  std::optional<EntryLocation> found;
  // Entries after the requested one are not listed.
  if (requested_number < 0 || requested_number >= archive.entry_count) {
    for_each_entry(archive, tree, [](const EntryLocation&) { return true; });
    return found;
  }
  for_each_entry(
      archive, tree,
      [&](const EntryLocation& location) {
        if (static_cast<long long>(location.number) != requested_number) return true;
        found = location;
        return false;
      },
      static_cast<std::uint32_t>(requested_number) + 1);
  return found;
}

ContentNode* decode_apart(const Archive& archive, const std::string& key, std::uint32_t number,
                          const std::uint8_t* payload, std::uint32_t size, Archive* checker,
                          ContentTree* tree) {
  checker->big_endian = archive.big_endian;
  checker->requested_key = key;
  ContentNode* element = tree->allocate_node(rapidxml::node_element, "entry");
  tree->append_node(element);
  append_attribute(element, vocab::kNumber, format_text("%08u", number));
  checker->dispatch_content(element, payload, size);
  return element;
}

bool read_entry_payload(const EntryLocation& location, ByteBuffer* payload, std::string* error,
                        ErrorKind* kind) {
  ErrorKind unused_kind = ErrorKind::kNone;
  if (kind == nullptr) kind = &unused_kind;
  const IndexEntry& record = location.record;
  if (record.size_comp > kMaxPayloadLength) {
    *kind = ErrorKind::kNotSupported;
    *error = format_text("entry %u: stored size %" PRIu64 " is beyond the 4 GiB a payload may have",
                         location.number, record.size_comp);
    return false;
  }
  const std::int64_t file_size = file_size64(location.data_file.c_str());
  if (file_size < 0) {
    *kind = ErrorKind::kInputOutput;
    *error = format_text(is_special_file(location.data_file.c_str())
                             ? "entry %u: data file %s is not a regular file"
                             : "entry %u: data file %s cannot be opened",
                         location.number, location.data_file.c_str());
    return false;
  }
  // Checked before allocating, so a lying index cannot ask for gigabytes.
  if (record.offset > static_cast<std::uint64_t>(file_size) ||
      record.size_comp > static_cast<std::uint64_t>(file_size) - record.offset) {
    *kind = ErrorKind::kInvalidData;
    *error = format_text("entry %u: %" PRIu64 " bytes at offset %" PRIu64
                         " lie beyond the end of %s (%" PRId64 " bytes)",
                         location.number, record.size_comp, record.offset,
                         location.data_file.c_str(), file_size);
    return false;
  }
  const auto length = static_cast<std::uint32_t>(record.size_comp);
  payload->clear();
  reserve_large(payload, static_cast<std::size_t>(length) + kPayloadSlack);
  payload->resize(static_cast<std::size_t>(length) + kPayloadSlack, 0);
  std::uint64_t got = 0;
  // read_file_part moves at most 2 GiB per call; larger payloads come in pieces.
  while (got < length) {
    const std::int32_t n = read_file_part(location.data_file.c_str(), payload->data() + got,
                                          record.offset + got, length - got);
    if (n <= 0) break;
    got += static_cast<std::uint64_t>(n);
  }
  if (got != length) {
    *kind = ErrorKind::kInputOutput;
    *error = format_text("entry %u: read %" PRIu64 " of %u bytes from %s", location.number, got,
                         length, location.data_file.c_str());
    payload->clear();
    return false;
  }
  return true;
}

}  // namespace korvel
