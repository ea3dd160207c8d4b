#include "archive/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstring>

#include "archive/entry_walk.h"
#include "archive/file_io.h"
#include "archive/file_stream.h"
#include "archive/format_text.h"
#include "archive/large_buffer.h"
#include "archive/limits.h"
#include "archive/listing_memory.h"

namespace korvel {
namespace {

// Opening only looks: a read-only archive browses, and replacement checks
// for write access itself before it writes anything. Only regular files: a
// FIFO or a device may block or never end.
bool opens_for_reading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  ::close(fd);
  return regular;
}

}  // namespace

ByteBuffer make_payload_buffer(const std::uint8_t* bytes, std::uint32_t length) {
  // Copied once, not zeroed first, into pages mapped at once: containers
  // hand tens of megabytes from level to level this way.
  ByteBuffer buffer;
  buffer.reserve(static_cast<std::size_t>(length) + kPayloadSlack);
  prefault_pages(buffer.data(), buffer.capacity());
  buffer.assign(bytes, bytes + length);
  buffer.resize(static_cast<std::size_t>(length) + kPayloadSlack, 0);
  return buffer;
}

int Archive::open(const char* index_path) {
  if (index_path == nullptr) return 0;
  entries.clear();
  entry_count = 0;
  clear_error();
  const char* last_dot = std::strrchr(index_path, '.');
  if (last_dot == nullptr) {
    return fail(ErrorKind::kInvalidArgument,
                format_text("%s has no extension: expected the path of an .idx file", index_path));
  }
  base_path.assign(index_path, static_cast<std::size_t>(last_dot - index_path));
  if (base_path.size() > kMaxPathLength) base_path.resize(kMaxPathLength);

  const std::string index_file = format_text("%s.idx", base_path.c_str());
  if (is_special_file(index_file.c_str())) {
    return fail(ErrorKind::kInvalidArgument,
                format_text("%s is not a regular file", index_file.c_str()));
  }
  if (!opens_for_reading(index_file)) {
    return fail(ErrorKind::kInputOutput,
                format_text("no index file: %s cannot be opened for reading", index_file.c_str()));
  }
  std::string first_data_file = format_text("%s.bin", base_path.c_str());
  for (const char* name : {"%s.bin", "%s0.bin"}) {
    const std::string data_file = format_text(name, base_path.c_str());
    if (is_special_file(data_file.c_str())) {
      return fail(ErrorKind::kInvalidArgument,
                  format_text("%s is not a regular file", data_file.c_str()));
    }
  }
  if (opens_for_reading(first_data_file)) {
    first_bin_number = -1;
  } else {
    first_data_file = format_text("%s0.bin", base_path.c_str());
    if (!opens_for_reading(first_data_file)) {
      return fail(ErrorKind::kInputOutput,
                  format_text("no data file: neither %s.bin nor %s0.bin can be opened for reading",
                              base_path.c_str(), base_path.c_str()));
    }
    first_bin_number = 0;
  }

  const std::int64_t index_size = file_size64(index_file.c_str());
  if (index_size < 0 || index_size > 0x7FFFFFFF) {
    set_error(index_size < 0 ? ErrorKind::kInputOutput : ErrorKind::kNotSupported,
              format_text("unreadable index: %s", index_file.c_str()));
    base_path.clear();
    return 0;
  }
  if (index_size % kIndexRecordSize != 0) {
    set_error(ErrorKind::kInvalidData,
              format_text("index size %" PRId64 " is not a multiple of 32", index_size));
    base_path.clear();
    return 0;
  }
  const auto count =
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(index_size) / kIndexRecordSize);
  if (count > kMaxIndexRecords) {
    set_error(ErrorKind::kNotSupported,
              format_text("the index holds %u records, more than the %u an archive may have "
                          "(each takes about 500 bytes of memory whenever the archive is read)",
                          count, kMaxIndexRecords));
    base_path.clear();
    return 0;
  }
  entries.resize(static_cast<std::size_t>(count) + 1);  // filled by the read, not zeroed
  const std::int32_t read = read_file_part(index_file.c_str(), entries.data(), 0,
                                           static_cast<std::uint64_t>(count) * kIndexRecordSize);
  if (count > 0 && (read < 0 || static_cast<std::uint64_t>(read) !=
                                    static_cast<std::uint64_t>(count) * kIndexRecordSize)) {
    entries.clear();
    base_path.clear();
    set_error(ErrorKind::kInputOutput, format_text("unreadable index: %s", index_file.c_str()));
    return 0;
  }
  entries.resize(count);
  entry_count = count;

  FileStream stream;
  stream.open(first_data_file.c_str(), kStreamBufferCapacity, FileStream::kReadOnly);
  const std::uint64_t first_file_size = stream.seek(0, FileStream::kFromEnd);
  stream.close();
  big_endian = 0;
  if (entry_count > 0 && index_reads_big_endian(entries[0], first_file_size)) {
    big_endian = 1;
    for (IndexEntry& record : entries) record = swapped_record(record, 1);
  }
  return 1;
}

int Archive::load_entry(const char* key) {
  ContentTree tree;
  keep_listing_memory(tree);
  return load_entry_into(tree, key);
}

int Archive::load_entry_into(ContentTree& tree, const char* key) {
  if (key == nullptr) return fail(ErrorKind::kInvalidArgument, "no key given");
  requested_key.assign(key, strnlen(key, kMaxKeyLength));
  clear_error();
  const std::optional<EntryLocation> location =
      walk_to_entry(*this, tree, entry_number_of_key(requested_key.c_str()));
  if (!location) {
    set_error(ErrorKind::kInvalidArgument,
              format_text("no entry %lld with a payload in this archive",
                          entry_number_of_key(requested_key.c_str())));
    return image.empty() || image_size == 0 ? 0 : 1;
  }
  image.clear();
  image_size = 0;
  model_view.clear();  // its references pointed into the image just freed
  ByteBuffer payload;
  if (!read_entry_payload(*location, &payload, &error, &error_kind)) return 0;
  dispatch_content(location->element, payload.data(),
                   static_cast<std::uint32_t>(location->record.size_comp));
  if (image.empty() || image_size == 0) {
    // A decoder that found the item but could not take it out said why.
    if (error.empty()) {
      set_error(ErrorKind::kInvalidArgument, format_text("nothing in entry %u matches %s",
                                                         location->number, requested_key.c_str()));
    }
    return 0;
  }
  return 1;
}

void Archive::release() {
  entries.clear();
  entries.shrink_to_fit();
  entry_count = 0;
  image.clear();
  image.shrink_to_fit();
  image_size = 0;
  model_view.clear();
}

}  // namespace korvel
