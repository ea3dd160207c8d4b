#include "archive/entry_walk.h"

#include <cinttypes>

#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/limits.h"

namespace korvel {

std::string data_file_name(const std::string& base_path, std::int32_t first_bin_number,
                           std::int32_t file_number) {
  if (first_bin_number == -1) return format_text("%s.bin", base_path.c_str());
  return format_text("%s%d.bin", base_path.c_str(), file_number);
}

std::optional<EntryLocation> walk_to_entry(const Archive& archive, ContentTree& tree,
                                           long long requested_number) {
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  std::int32_t file_number = archive.first_bin_number;
  for (std::uint32_t i = 0; i < archive.entry_count && i < archive.entries.size(); ++i) {
    const IndexEntry& record = archive.entries[i];
    ContentNode* element = append_element_copy(root, format_text(vocab::kEntryNameFormat, i));
    append_attribute(element, vocab::kOffset, format_text("%016" PRIX64 "h", record.offset));
    append_attribute(element, vocab::kSizeUncomp,
                     format_text("%016" PRIX64 "h", record.size_uncomp));
    append_attribute(element, vocab::kSizeComp, format_text("%016" PRIX64 "h", record.size_comp));
    append_attribute(element, vocab::kFlag, format_text("%016" PRIX64 "h", record.flag));
    append_attribute(element, vocab::kNumber, format_text("%08u", i));
    // In a series, every entry after the first whose offset is 0 begins the
    // next data file; empty entries count too.
    if (archive.first_bin_number != -1 && i != 0 && record.offset == 0) ++file_number;
    if (!record.empty() && static_cast<long long>(i) == requested_number) {
      return EntryLocation{i, record,
                           data_file_name(archive.base_path, archive.first_bin_number, file_number),
                           element};
    }
  }
  return std::nullopt;
}

bool read_entry_payload(const EntryLocation& location, ByteBuffer* payload, std::string* error) {
  const IndexEntry& record = location.record;
  if (record.size_comp > kMaxPayloadLength) {
    *error = format_text("entry %u: stored size %" PRIu64 " is beyond the 4 GiB a payload may have",
                         location.number, record.size_comp);
    return false;
  }
  const std::int64_t file_size = file_size64(location.data_file.c_str());
  if (file_size < 0) {
    *error = format_text("entry %u: data file %s cannot be opened", location.number,
                         location.data_file.c_str());
    return false;
  }
  // Checked before allocating, so a lying index cannot ask for gigabytes.
  if (record.offset > static_cast<std::uint64_t>(file_size) ||
      record.size_comp > static_cast<std::uint64_t>(file_size) - record.offset) {
    *error = format_text("entry %u: %" PRIu64 " bytes at offset %" PRIu64
                         " lie beyond the end of %s (%" PRId64 " bytes)",
                         location.number, record.size_comp, record.offset,
                         location.data_file.c_str(), file_size);
    return false;
  }
  const auto length = static_cast<std::uint32_t>(record.size_comp);
  payload->assign(static_cast<std::size_t>(length) + kPayloadSlack, 0);
  std::uint64_t got = 0;
  // read_file_part moves at most 2 GiB per call; larger payloads come in pieces.
  while (got < length) {
    const std::int32_t n = read_file_part(location.data_file.c_str(), payload->data() + got,
                                          record.offset + got, length - got);
    if (n <= 0) break;
    got += static_cast<std::uint64_t>(n);
  }
  if (got != length) {
    *error = format_text("entry %u: read %" PRIu64 " of %u bytes from %s", location.number, got,
                         length, location.data_file.c_str());
    payload->clear();
    return false;
  }
  return true;
}

}  // namespace korvel
