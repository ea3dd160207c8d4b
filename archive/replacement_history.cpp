#include "archive/replacement_history.h"

#include <ctime>
#include <map>

#include "archive/checksum.h"
#include "archive/entry_walk.h"
#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/index_rewrite.h"
#include "archive/write_access.h"

namespace korvel {
namespace {

// The entry's payload as the given record points at it, checked against the
// CRC-32 the journal holds for it.
bool payload_matches(const Archive& archive, std::uint32_t entry, const IndexEntry& record,
                     std::uint32_t expected_crc, std::string* error) {
  ContentTree tree;
  std::optional<EntryLocation> location = walk_to_entry(archive, tree, entry);
  if (!location) {
    *error = format_text("entry %u is missing or empty", entry);
    return false;
  }
  location->record = record;
  ByteBuffer payload;
  if (!read_entry_payload(*location, &payload, error)) return false;
  if (crc32_of(payload.data(), static_cast<std::size_t>(record.size_comp)) != expected_crc) {
    *error = format_text("the bytes entry %u pointed at in %s have changed since", entry,
                         location->data_file.c_str());
    return false;
  }
  return true;
}

}  // namespace

ReplacementHistory replacement_history(const Archive& archive) {
  ReplacementHistory history;
  const JournalContents journal = read_journal(archive.base_path);
  history.note = journal.missing && journal.damage.empty()
                     ? "no journal beside the index: replacements made without one cannot be "
                       "undone here"
                     : journal.damage;
  // An undo names the replacement by its sequence and repeats its records,
  // so that a journal damaged in the middle, where a number could come
  // round again, never takes an undo for another replacement's.
  std::multimap<std::uint64_t, const JournalRecord*> undos;
  for (const JournalRecord& record : journal.records) {
    if (record.kind == JournalKind::kUndo) undos.emplace(record.undoes, &record);
  }
  const auto undone = [&](const JournalRecord& replacement) {
    const auto [first, last] = undos.equal_range(replacement.sequence);
    for (auto undo = first; undo != last; ++undo) {
      const JournalRecord& record = *undo->second;
      if (record.entry == replacement.entry && same_record(record.before, replacement.after) &&
          same_record(record.after, replacement.before)) {
        return true;
      }
    }
    return false;
  };
  std::vector<const JournalRecord*> live;
  for (const JournalRecord& record : journal.records) {
    if (record.kind == JournalKind::kReplace && !undone(record)) live.push_back(&record);
  }
  history.newest_first.resize(live.size());
  for (std::size_t i = 0; i < live.size(); ++i) {
    HistoryItem& item = history.newest_first[live.size() - 1 - i];
    item.record = *live[i];
    for (std::size_t later = i + 1; later < live.size(); ++later) {
      if (live[later]->entry == live[i]->entry &&
          same_record(live[later]->before, live[i]->after)) {
        item.status = ReplacementStatus::kBuiltOn;
        item.built_on_by = live.size() - later;
        break;
      }
    }
    if (item.status != ReplacementStatus::kBuiltOn && live[i]->entry < archive.entry_count &&
        same_record(archive.entries[live[i]->entry], live[i]->after)) {
      item.status = ReplacementStatus::kInEffect;
    }
  }
  return history;
}

std::string status_text(const HistoryItem& item) {
  switch (item.status) {
    case ReplacementStatus::kInEffect:
      return "in effect";
    case ReplacementStatus::kBuiltOn:
      return format_text("built on by %zu", item.built_on_by);
    case ReplacementStatus::kNotInEffect:
      break;
  }
  return "not in effect";
}

std::string journal_time_text(std::int64_t time) {
  const auto seconds = static_cast<std::time_t>(time);
  std::tm parts{};
  if (gmtime_r(&seconds, &parts) == nullptr) return "?";
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

int undo_replacement(const std::string& index_path, std::size_t number, std::string* message) {
  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *message = "cannot open " + index_path + ": " + archive.error;
    return 0;
  }
  // The same lock as a replacement, and the index read again under it.
  const std::string first_data_file = first_data_file_of(archive);
  const FileLock lock(first_data_file.c_str());
  if (!lock.held() || archive.open(index_path.c_str()) != 1) {
    *message = "cannot lock " + first_data_file + " for the undo";
    return 0;
  }
  const ReplacementHistory history = replacement_history(archive);
  const std::string note = history.note.empty() ? "" : " (" + history.note + ")";
  if (number == 0 || number > history.newest_first.size()) {
    *message = format_text("the journal lists no replacement %zu: it lists %zu", number,
                           history.newest_first.size()) +
               note;
    return 0;
  }
  const HistoryItem& item = history.newest_first[number - 1];
  const JournalRecord& done = item.record;
  if (item.status == ReplacementStatus::kBuiltOn) {
    *message = format_text("replacement %zu of entry %u was made on top of it: undo that first",
                           item.built_on_by, done.entry);
    return 0;
  }
  if (item.status == ReplacementStatus::kNotInEffect) {
    *message = format_text(
        "entry %u no longer holds what replacement %zu wrote (it was changed without the "
        "journal, or the replacement never finished)",
        done.entry, number);
    return 0;
  }
  ContentTree tree;
  const std::optional<EntryLocation> location = walk_to_entry(archive, tree, done.entry);
  if (!location) {
    *message = format_text("entry %u is missing or empty", done.entry);
    return 0;
  }
  std::string error = read_only_reason({index_path, location->data_file});
  if (error.empty())
    payload_matches(archive, done.entry, done.before, done.payload_crc_before, &error);
  if (!error.empty()) {
    *message = "cannot undo: " + error;
    return 0;
  }

  const std::vector<IndexEntry> current(archive.entries.begin(),
                                        archive.entries.begin() + archive.entry_count);
  std::vector<IndexEntry> restored(current);
  restored[done.entry] = done.before;
  if (!rewrite_index(archive, restored, &error)) {
    *message = "cannot undo: " + error;
    return 0;
  }
  // Read back as any reader will: the record, then the bytes it points at.
  Archive check;
  std::string check_error = "the index does not read back";
  const bool read_back =
      check.open(index_path.c_str()) == 1 && check.entry_count == archive.entry_count &&
      same_record(check.entries[done.entry], done.before) &&
      payload_matches(check, done.entry, done.before, done.payload_crc_before, &check_error);
  if (!read_back) {
    std::string restore_error;
    rewrite_index(archive, current, &restore_error);
    *message = "the undo did not read back (" + check_error + "); the index is as it was";
    return 0;
  }
  // Recorded after the rename: a record of an undo that never happened would
  // hide a replacement still in effect.
  JournalRecord undo;
  undo.kind = JournalKind::kUndo;
  undo.entry = done.entry;
  undo.before = done.after;
  undo.after = done.before;
  undo.payload_crc_before = done.payload_crc_after;
  undo.payload_crc_after = done.payload_crc_before;
  undo.undoes = done.sequence;
  undo.output_id = done.output_id;
  const bool journaled = append_journal_record(archive.base_path, &undo);
  *message = format_text("undid replacement %zu: entry %u (%s) holds what it held before", number,
                         done.entry, done.output_id.c_str());
  if (!journaled) *message += "; the journal could not record it, so it still lists it";
  return 1;
}

}  // namespace korvel
