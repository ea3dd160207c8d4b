#include "archive/replacement_journal.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "archive/archive.h"
#include "archive/checksum.h"
#include "archive/entry_walk.h"
#include "archive/field_codec.h"
#include "archive/file_io.h"
#include "archive/format_text.h"

namespace korvel {
namespace {

constexpr std::size_t kRecordFrame = 12;  // magic, body length, checksum

void write_index_entry(FieldWriter& out, const IndexEntry& record) {
  out.u64(record.offset);
  out.u64(record.size_uncomp);
  out.u64(record.size_comp);
  out.u64(record.flag);
}

IndexEntry read_index_entry(FieldCursor& in) {
  IndexEntry record{};
  record.offset = in.u64();
  record.size_uncomp = in.u64();
  record.size_comp = in.u64();
  record.flag = in.u64();
  return record;
}

std::uint32_t little_u32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The record framed at `at`, when it is whole and checks; its length then.
std::size_t checked_record_at(const std::vector<std::uint8_t>& bytes, std::size_t at,
                              JournalRecord* record, bool* unknown_version) {
  *unknown_version = false;
  if (bytes.size() - at < kRecordFrame || std::memcmp(&bytes[at], kJournalMagic, 4) != 0) return 0;
  const std::uint32_t body_length = little_u32(&bytes[at + 4]);
  if (body_length > kMaxJournalBody || bytes.size() - at - kRecordFrame < body_length) return 0;
  const std::size_t checked = 8 + body_length;
  if (crc32_of(&bytes[at], checked) != little_u32(&bytes[at + checked])) return 0;
  FieldCursor in(&bytes[at + 8], body_length);
  if (in.u8() != kJournalVersion) {
    *unknown_version = true;
    return checked + 4;
  }
  const std::uint8_t kind = in.u8();
  record->kind = static_cast<JournalKind>(kind);
  record->sequence = in.u64();
  record->time = static_cast<std::int64_t>(in.u64());
  record->entry = in.u32();
  record->before = read_index_entry(in);
  record->after = read_index_entry(in);
  record->payload_crc_before = in.u32();
  record->payload_crc_after = in.u32();
  record->undoes = in.u64();
  record->source_crc = in.u32();
  record->output_id = in.text(kMaxKeyLength);
  record->source_name = in.text(kMaxPathLength);
  const bool known_kind = kind == static_cast<std::uint8_t>(JournalKind::kReplace) ||
                          kind == static_cast<std::uint8_t>(JournalKind::kUndo);
  if (!in.ok() || in.remaining() != 0 || !known_kind) {
    *unknown_version = true;
    return checked + 4;
  }
  return checked + 4;
}

}  // namespace

std::string journal_path(const std::string& base_path) {
  return base_path + ".journal";
}

std::vector<std::uint8_t> encode_journal_record(const JournalRecord& record) {
  FieldWriter out;
  out.raw(kJournalMagic, 4);
  out.u32(0);
  out.u8(kJournalVersion);
  out.u8(static_cast<std::uint8_t>(record.kind));
  out.u64(record.sequence);
  out.u64(static_cast<std::uint64_t>(record.time));
  out.u32(record.entry);
  write_index_entry(out, record.before);
  write_index_entry(out, record.after);
  out.u32(record.payload_crc_before);
  out.u32(record.payload_crc_after);
  out.u64(record.undoes);
  out.u32(record.source_crc);
  out.text(record.output_id.substr(0, kMaxKeyLength));
  out.text(record.source_name.substr(0, kMaxPathLength));
  out.patch_u32(4, static_cast<std::uint32_t>(out.size() - 8));
  out.u32(crc32_of(out.bytes().data(), out.size()));
  return std::move(out.bytes());
}

JournalContents read_journal(const std::string& base_path) {
  JournalContents contents;
  const std::string path = journal_path(base_path);
  const std::int64_t size = file_size64(path.c_str());
  if (size < 0) {
    contents.missing = true;
    if (is_special_file(path.c_str())) contents.damage = path + " is not a regular file";
    return contents;
  }
  const auto wanted = static_cast<std::size_t>(
      std::min<std::uint64_t>(static_cast<std::uint64_t>(size), kMaxJournalBytes));
  std::vector<std::uint8_t> bytes(wanted);
  const std::int32_t got = wanted == 0 ? 0 : read_file_part(path.c_str(), bytes.data(), 0, wanted);
  if (got < 0) {
    contents.missing = true;
    contents.damage = "cannot read " + path;
    return contents;
  }
  bytes.resize(static_cast<std::size_t>(got));

  std::size_t damaged_bytes = 0;
  std::size_t first_damage = 0;
  std::size_t unknown_records = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    JournalRecord record;
    bool unknown = false;
    const std::size_t length = checked_record_at(bytes, at, &record, &unknown);
    if (length == 0) {
      // Damage: look for the next record that checks, one byte on.
      if (damaged_bytes == 0) first_damage = at;
      ++damaged_bytes;
      ++at;
      continue;
    }
    if (unknown) {
      ++unknown_records;
    } else {
      contents.records.push_back(std::move(record));
    }
    at += length;
  }
  std::vector<std::string> notes;
  if (damaged_bytes > 0) {
    notes.push_back(
        format_text("%zu damaged bytes from byte %zu were skipped", damaged_bytes, first_damage));
  }
  if (unknown_records > 0) {
    notes.push_back(format_text("%zu records of a kind this korvel does not know were skipped",
                                unknown_records));
  }
  if (static_cast<std::uint64_t>(size) > kMaxJournalBytes) {
    notes.push_back(format_text("only its first %" PRIu64 " bytes were read", kMaxJournalBytes));
  }
  if (!notes.empty()) {
    contents.damage = "the journal " + path + " is damaged: ";
    for (std::size_t i = 0; i < notes.size(); ++i) {
      contents.damage += (i == 0 ? "" : "; ") + notes[i];
    }
    contents.damage += "; replacements recorded there cannot be undone";
  }
  return contents;
}

bool append_journal_records(const std::string& base_path, std::vector<JournalRecord>* records) {
  const std::string path = journal_path(base_path);
  if (records->empty() || is_special_file(path.c_str())) return false;
  // Numbered by where each record starts, so nothing has to be read first.
  const std::int64_t size = file_size64(path.c_str());
  auto position = static_cast<std::uint64_t>(size < 0 ? 0 : size);
  std::vector<std::uint8_t> bytes;
  const auto now = static_cast<std::int64_t>(std::time(nullptr));
  for (JournalRecord& record : *records) {
    record.sequence = position + 1;
    if (record.time == 0) record.time = now;
    const std::vector<std::uint8_t> encoded = encode_journal_record(record);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    position += encoded.size();
  }
  // Appended in one write; a cut tail of an earlier record stays as skipped damage.
  const std::int32_t written =
      write_file_part(path.c_str(), bytes.data(), kAtEnd, bytes.size(), kOpenAlways);
  return written == static_cast<std::int32_t>(bytes.size()) && sync_file(path.c_str()) == 1;
}

bool append_journal_record(const std::string& base_path, JournalRecord* record) {
  std::vector<JournalRecord> one{*record};
  const bool written = append_journal_records(base_path, &one);
  *record = one[0];
  return written;
}

JournalAppend::JournalAppend(std::string base_path)
    : base_path_(std::move(base_path)),
      former_size_(file_size64(journal_path(base_path_).c_str())) {}

JournalAppend::JournalAppend(JournalAppend&& other) noexcept
    : base_path_(std::move(other.base_path_)),
      former_size_(other.former_size_),
      appended_(other.appended_),
      kept_(other.kept_) {
  other.kept_ = true;
}

void JournalAppend::append(std::vector<JournalRecord>* records) {
  if (append_journal_records(base_path_, records)) {
    for (const JournalRecord& record : *records) {
      appended_ += encode_journal_record(record).size();
    }
  }
}

JournalAppend::~JournalAppend() {
  if (kept_ || appended_ == 0) return;
  const std::string path = journal_path(base_path_);
  const std::int64_t former = former_size_ < 0 ? 0 : former_size_;
  // Only our own records are taken out: a journal that holds anything else
  // after them is left alone.
  if (file_size64(path.c_str()) != former + static_cast<std::int64_t>(appended_)) return;
  if (former_size_ < 0) {
    std::remove(path.c_str());
  } else {
    truncate_file(path.c_str(), static_cast<std::uint64_t>(former_size_));
  }
}

JournalAppend journal_replacement(const Archive& archive, const EntryLocation& location,
                                  std::uint64_t new_offset, std::uint32_t new_decoded,
                                  std::uint32_t new_stored, std::uint32_t stored_crc,
                                  std::uint32_t rebuilt_crc) {
  JournalRecord record;
  record.kind = JournalKind::kReplace;
  record.entry = location.number;
  record.before = location.record;
  record.after = {new_offset, new_decoded, new_stored, location.record.flag};
  record.payload_crc_before = stored_crc;
  record.payload_crc_after = rebuilt_crc;
  record.output_id = archive.requested_key;
  record.source_name = archive.replacement_source;
  record.source_crc = archive.replacement_source.empty()
                          ? crc32_of(archive.image.data(), archive.image_size)
                          : archive.replacement_source_crc;
  // A journal that cannot be written never stops a replacement; history then
  // says what it cannot see.
  JournalAppend journal(archive.base_path);
  std::vector<JournalRecord> records{std::move(record)};
  journal.append(&records);
  return journal;
}

}  // namespace korvel
