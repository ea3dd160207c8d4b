#include "archive/entry_walk.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/limits.h"

namespace korvel {

std::string data_file_name(const std::string& base_path, std::int32_t first_bin_number,
                           std::int32_t file_number) {
  if (first_bin_number == -1) return format_text("%s.bin", base_path.c_str());
  return format_text("%s%d.bin", base_path.c_str(), file_number);
}

namespace {

// The listing formats hundreds of thousands of numbers for a large index, so
// it formats into fixed buffers straight into the document's pool instead of
// going through printf and a std::string for each.
const char* pool_hex64(ContentTree& tree, std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char text[18];  // "%016" PRIX64 "h"
  for (int i = 15; i >= 0; --i) {
    text[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  text[16] = 'h';
  text[17] = '\0';
  return tree.allocate_string(text, sizeof text);
}

// prefix, then value as "%08u" (at least eight digits, zero-padded).
const char* pool_decimal8(ContentTree& tree, const char* prefix, std::uint32_t value) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < 8) digits[count++] = '0';
  const std::size_t prefix_length = std::strlen(prefix);
  char text[32];
  std::memcpy(text, prefix, prefix_length);
  for (int i = 0; i < count; ++i)
    text[prefix_length + static_cast<std::size_t>(i)] = digits[count - 1 - i];
  text[prefix_length + static_cast<std::size_t>(count)] = '\0';
  return tree.allocate_string(text, prefix_length + static_cast<std::size_t>(count) + 1);
}

void append_pool_attribute(ContentTree& tree, ContentNode* element, const char* name,
                           const char* value) {
  element->append_attribute(tree.allocate_attribute(name, value));
}

}  // namespace

namespace detail {

ContentNode* append_root(ContentTree& tree) {
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  return root;
}

ContentNode* append_entry_element(ContentTree& tree, ContentNode* root, std::uint32_t number,
                                  const IndexEntry& record) {
  ContentNode* element = append_element(root, pool_decimal8(tree, "idx_No.", number));
  append_pool_attribute(tree, element, vocab::kOffset, pool_hex64(tree, record.offset));
  append_pool_attribute(tree, element, vocab::kSizeUncomp, pool_hex64(tree, record.size_uncomp));
  append_pool_attribute(tree, element, vocab::kSizeComp, pool_hex64(tree, record.size_comp));
  append_pool_attribute(tree, element, vocab::kFlag, pool_hex64(tree, record.flag));
  append_pool_attribute(tree, element, vocab::kNumber, pool_decimal8(tree, "", number));
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
  for_each_entry(archive, tree, [&](const EntryLocation& location) {
    if (static_cast<long long>(location.number) != requested_number) return true;
    found = location;
    return false;
  });
  return found;
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
    *error = format_text(is_special_file(location.data_file.c_str())
                             ? "entry %u: data file %s is not a regular file"
                             : "entry %u: data file %s cannot be opened",
                         location.number, location.data_file.c_str());
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
