// Replacement: the entry that holds a texture is rebuilt with a new DDS in its
// place, checked by reading it back, appended to its own data file and pointed
// at by a rewritten index. A modder's archive is often their only copy, so
// every step that could leave it unreadable is refused or undone.
#include <cinttypes>
#include <cstring>

#include "archive/archive.h"
#include "archive/checksum.h"
#include "archive/entry_walk.h"
#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/limits.h"
#include "archive/replacement_journal.h"
#include "archive/temporary_files.h"
#include "archive/write_access.h"
#include "file_layouts/dds_file.h"

namespace korvel {
namespace {

// What the decoders recognised, level by level: names, numbers and output ids.
// Textures after the requested one are left out, because extracting a texture
// stops the listing of its container there.
void append_structure(const ContentNode* node, int depth, const std::string& key,
                      std::string* out) {
  bool after_requested = false;
  for (const ContentNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string name(child->name(), child->name_size());
    if (after_requested && name == vocab::kG1t) continue;
    const std::string output_id = attribute_value(child, vocab::kOutputId);
    *out += format_text("%d %s %s %s\n", depth, name.c_str(),
                        attribute_value(child, vocab::kNumber).c_str(), output_id.c_str());
    if (name == vocab::kG1t && keys_equal(output_id, key)) after_requested = true;
    append_structure(child, depth + 1, key, out);
  }
}

std::string structure_of(const ContentNode* node, const std::string& key) {
  std::string structure;
  append_structure(node, 0, key, &structure);
  return structure;
}

// Decodes the rebuilt payload as a reader of the archive will, and checks that
// it has the structure the rebuild walked and holds the new texture's pixels.
bool rebuilt_payload_reads_back(const Archive& archive, const EntryLocation& location,
                                const ContentNode* rebuilt_element, const ByteBuffer& rebuilt,
                                std::uint32_t rebuilt_size, std::string* error) {
  // The rebuilt buffer serves as it is when it has the room after its end
  // that every payload has; a copy of tens of megabytes otherwise.
  ByteBuffer copy;
  const std::uint8_t* payload = rebuilt.data();
  if (rebuilt.size() < static_cast<std::size_t>(rebuilt_size) + kPayloadSlack) {
    copy = make_payload_buffer(rebuilt.data(), rebuilt_size);
    payload = copy.data();
  }
  Archive checker;
  ContentTree tree;
  const ContentNode* element = decode_apart(archive, archive.requested_key, location.number,
                                            payload, rebuilt_size, &checker, &tree);

  if (structure_of(element, archive.requested_key) !=
      structure_of(rebuilt_element, archive.requested_key)) {
    *error = "the rebuilt entry does not read back with the structure it had";
    return false;
  }
  const std::uint64_t pixels = archive.image_size - kDdsFileHeaderSize;
  if (checker.image_size < kDdsFileHeaderSize ||
      checker.image_size - kDdsFileHeaderSize != pixels ||
      checker.image.size() < checker.image_size ||
      std::memcmp(checker.image.data() + kDdsFileHeaderSize,
                  archive.image.data() + kDdsFileHeaderSize, pixels) != 0) {
    *error = format_text("no texture %s in the rebuilt entry holds the new pixels",
                         archive.requested_key.c_str());
    return false;
  }
  return true;
}

}  // namespace

int Archive::replace_entry(const char* key, const char* dds_path) {
  clear_error();
  rebuild_failed = false;
  if (key == nullptr || dds_path == nullptr) {
    return fail(ErrorKind::kInvalidArgument, "no key or no DDS file given");
  }
  if (is_special_file(dds_path)) {
    return fail(ErrorKind::kInvalidArgument, format_text("%s is not a regular file", dds_path));
  }
  const std::int32_t dds_size = read_file_part(dds_path, nullptr, 0, 0);
  const std::int64_t dds_size64 = file_size64(dds_path);
  if (dds_size < 0) return fail(ErrorKind::kInputOutput, format_text("cannot read %s", dds_path));
  if (dds_size == 0 || dds_size64 != dds_size) {
    return fail(dds_size == 0 ? ErrorKind::kInvalidData : ErrorKind::kNotSupported,
                format_text("%s is empty or too large", dds_path));
  }
  image.assign(static_cast<std::size_t>(dds_size) + kImageZeroTail, 0);
  image_size = static_cast<std::uint32_t>(dds_size);
  if (read_file_part(dds_path, image.data(), 0, image_size) != dds_size) {
    return fail(ErrorKind::kInputOutput, format_text("cannot read %s", dds_path));
  }
  if (image_size < kDdsFileHeaderSize || !has_dds_magic(image.data(), image_size)) {
    return fail(ErrorKind::kInvalidData, format_text("%s is not a DDS file", dds_path));
  }
  replacement_source = dds_path;
  replacement_source_crc = crc32_of(image.data(), image_size);
  return replace_entry_with_image(key);
}

int Archive::replace_entry_with_image(const char* key) {
  clear_error();
  rebuild_failed = false;
  if (key == nullptr || image_size < kDdsFileHeaderSize || image.size() < image_size ||
      !has_dds_magic(image.data(), image_size)) {
    return fail(ErrorKind::kInvalidArgument, "no key, or no DDS file to put in place");
  }

  requested_key.assign(key, strnlen(key, kMaxKeyLength));
  // Every replacement holds the archive's lock from reading its index to
  // writing it back, and reads the index again under it: two replacements at
  // once would otherwise each write an index that drops the other's entry.
  // The first data file carries the lock, as the index itself is replaced by
  // a rename and a lock on it would not outlive the first rewrite.
  const std::string index_file = format_text("%s.idx", base_path.c_str());
  const std::string first_data_file = data_file_name(base_path, first_bin_number, first_bin_number);
  const FileLock lock(first_data_file.c_str());
  if (!lock.held()) {
    return fail(ErrorKind::kInputOutput,
                format_text("cannot lock %s for the replacement", first_data_file.c_str()));
  }
  // Under the lock no writer of ours is alive, so a temporary index is a killed one's.
  remove_stale_temporaries(index_file);
  if (open(index_file.c_str()) != 1) return 0;

  ContentTree tree;
  const std::optional<EntryLocation> location =
      walk_to_entry(*this, tree, entry_number_of_key(requested_key.c_str()));
  if (!location) {
    return fail(ErrorKind::kInvalidArgument,
                format_text("no entry %lld with a payload in this archive",
                            entry_number_of_key(requested_key.c_str())));
  }
  // In a series, an entry after the first whose offset is 0 begins its data
  // file: any other offset would move it, and every later entry, into the
  // previous file.
  if (first_bin_number != -1 && location->number != 0 && location->record.offset == 0) {
    return fail(ErrorKind::kNotSupported,
                format_text("entry %u begins data file %s; moving it would shift every later "
                            "entry into the previous file",
                            location->number, location->data_file.c_str()));
  }
  // Archives open for reading only; one that may not be written is refused here.
  std::string read_only =
      read_only_reason({format_text("%s.idx", base_path.c_str()), location->data_file});
  if (!read_only.empty()) return fail(ErrorKind::kInputOutput, std::move(read_only));

  ByteBuffer payload;
  if (!read_entry_payload(*location, &payload, &error, &error_kind)) return 0;
  const auto stored_length = static_cast<std::uint32_t>(location->record.size_comp);

  ByteBuffer rebuilt;
  std::uint32_t rebuilt_decoded = 0;
  std::uint32_t rebuilt_stored = 0;
  dispatch_content(location->element, payload.data(), stored_length, &rebuilt, &rebuilt_decoded,
                   &rebuilt_stored);
  if (rebuild_failed || rebuilt.size() < rebuilt_stored) {
    if (error.empty()) {
      set_error(ErrorKind::kNotSupported, "the entry could not be rebuilt around the new texture");
    }
    return 0;
  }
  // Unchanged means the same bytes: lengths and content, not a checksum alone.
  if (rebuilt_stored == stored_length &&
      std::memcmp(rebuilt.data(), payload.data(), stored_length) == 0) {
    return 2;
  }
  const std::uint32_t stored_crc = crc32_of(payload.data(), stored_length);
  payload = ByteBuffer();
  if (!rebuilt_payload_reads_back(*this, *location, location->element, rebuilt, rebuilt_stored,
                                  &error)) {
    error_kind = ErrorKind::kNotSupported;
    return 0;
  }

  const std::int64_t former_size = file_size64(location->data_file.c_str());
  if (former_size < 0) {
    return fail(ErrorKind::kInputOutput,
                format_text("cannot open %s", location->data_file.c_str()));
  }
  if (static_cast<std::uint64_t>(former_size) + rebuilt_stored > kMaxDataFileEnd) {
    return fail(ErrorKind::kNotSupported,
                format_text("%s would pass 4 GiB; offsets beyond that cannot be stored",
                            location->data_file.c_str()));
  }

  // The new index, in the archive's byte order.
  std::vector<IndexEntry> records(entries.begin(), entries.begin() + entry_count);
  IndexEntry& changed = records[location->number];
  changed.offset = static_cast<std::uint64_t>(former_size);
  changed.size_uncomp = rebuilt_decoded;
  changed.size_comp = rebuilt_stored;
  for (IndexEntry& record : records) record = swapped_record(record, big_endian);
  // Byte order is told from the first record and the first data file's size;
  // an index that would then read in the other order is unreadable.
  const std::int64_t first_size_after =
      first_data_file == location->data_file
          ? former_size + static_cast<std::int64_t>(rebuilt_stored)
          : file_size64(first_data_file.c_str());
  if (first_size_after < 0 ||
      index_reads_big_endian(records[0], static_cast<std::uint64_t>(first_size_after)) !=
          (big_endian == 1)) {
    // Say which number decides it, so the user can see why.
    const std::uint64_t first_decoded = swapped_record(records[0], big_endian).size_uncomp;
    error_kind = ErrorKind::kNotSupported;
    error = big_endian == 0
                ? format_text("with the new texture entry 0 would decode to %" PRIu64
                              " bytes, more than %s holds (%" PRId64
                              " bytes); the archive would then be read as big-endian",
                              first_decoded, first_data_file.c_str(), first_size_after)
                : format_text(
                      "with the new texture entry 0's record, read little-endian, would "
                      "no longer claim more than %s holds (%" PRId64
                      " bytes); the archive would then be read as little-endian",
                      first_data_file.c_str(), first_size_after);
    return 0;
  }

  // The payload is on disk before the index points at it; the index is
  // replaced whole, so the archive reads as before or fully as after.
  // An undo removes only what this replacement may have appended: a file
  // that grew further has bytes of another writer after ours, and those stay.
  const auto undo_append = [&] {
    const std::int64_t now = file_size64(location->data_file.c_str());
    if (now > former_size && now <= former_size + static_cast<std::int64_t>(rebuilt_stored)) {
      truncate_file(location->data_file.c_str(), static_cast<std::uint64_t>(former_size));
    }
  };
  const std::int32_t appended = write_file_part(location->data_file.c_str(), rebuilt.data(), kAtEnd,
                                                rebuilt_stored, kOpenExisting);
  const std::int64_t grown_size = file_size64(location->data_file.c_str());
  if (appended != static_cast<std::int32_t>(rebuilt_stored) ||
      grown_size != former_size + static_cast<std::int64_t>(rebuilt_stored) ||
      sync_file(location->data_file.c_str()) != 1) {
    undo_append();
    return fail(ErrorKind::kInputOutput, format_text("appending %u bytes to %s failed",
                                                     rebuilt_stored, location->data_file.c_str()));
  }

  JournalAppend journal = journal_replacement(
      *this, *location, static_cast<std::uint64_t>(former_size), rebuilt_decoded, rebuilt_stored,
      stored_crc, crc32_of(rebuilt.data(), rebuilt_stored));
  std::string write_error;
  if (replace_file_atomically(index_file.c_str(), records.data(), records.size() * kIndexRecordSize,
                              &write_error) != 1) {
    undo_append();
    return fail(ErrorKind::kInputOutput,
                format_text("%s; the archive is as it was", write_error.c_str()));
  }
  journal.keep();
  entries[location->number].offset = static_cast<std::uint64_t>(former_size);
  entries[location->number].size_uncomp = rebuilt_decoded;
  entries[location->number].size_comp = rebuilt_stored;
  return 1;
}

}  // namespace korvel
