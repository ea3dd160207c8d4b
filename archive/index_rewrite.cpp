#include "archive/index_rewrite.h"

#include "archive/entry_walk.h"
#include "archive/file_io.h"
#include "archive/format_text.h"

namespace korvel {

bool same_record(const IndexEntry& a, const IndexEntry& b) {
  return a.offset == b.offset && a.size_uncomp == b.size_uncomp && a.size_comp == b.size_comp &&
         a.flag == b.flag;
}

std::string first_data_file_of(const Archive& archive) {
  return data_file_name(archive.base_path, archive.first_bin_number, archive.first_bin_number);
}

bool rewrite_index(const Archive& archive, const std::vector<IndexEntry>& host_records,
                   std::string* error) {
  std::vector<IndexEntry> stored(host_records);
  for (IndexEntry& record : stored) record = swapped_record(record, archive.big_endian);
  // The index has no byte-order mark: it must still be told the same way.
  if (!stored.empty()) {
    const std::string first_data_file = first_data_file_of(archive);
    const std::int64_t first_size = file_size64(first_data_file.c_str());
    if (first_size < 0 ||
        index_reads_big_endian(stored[0], static_cast<std::uint64_t>(first_size)) !=
            (archive.big_endian == 1)) {
      *error = format_text(
          "with entry 0's new record the index would be read in the other byte "
          "order beside %s",
          first_data_file.c_str());
      return false;
    }
  }
  const std::string index_file = format_text("%s.idx", archive.base_path.c_str());
  std::string write_error;
  if (replace_file_atomically(index_file.c_str(), stored.data(), stored.size() * kIndexRecordSize,
                              &write_error) != 1) {
    *error = write_error + "; the index is as it was";
    return false;
  }
  return true;
}

}  // namespace korvel
