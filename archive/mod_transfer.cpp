#include "archive/mod_transfer.h"

#include <algorithm>
#include <cinttypes>
#include <map>
#include <set>

#include "archive/archive.h"
#include "archive/checksum.h"
#include "archive/entry_walk.h"
#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/index_rewrite.h"
#include "archive/limits.h"
#include "archive/replacement_history.h"
#include "archive/write_access.h"

namespace korvel {
namespace {

constexpr std::size_t kMaxReasonsShown = 8;

std::string file_name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where the wanted entries lie, from one walk of the index (a walk per entry
// would list the index once for every entry of a large mod). Missing and
// empty entries are left out.
std::map<std::uint32_t, EntryLocation> locations_of(const Archive& archive,
                                                    const std::set<std::uint32_t>& wanted) {
  std::map<std::uint32_t, EntryLocation> found;
  if (wanted.empty()) return found;
  ContentTree tree;
  for_each_entry(
      archive, tree,
      [&](const EntryLocation& location) {
        if (wanted.count(location.number) != 0) {
          EntryLocation copy = location;
          copy.element = nullptr;  // the listing goes with the walk
          found.emplace(location.number, copy);
        }
        return location.number < *wanted.rbegin();
      },
      *wanted.rbegin() == UINT32_MAX ? UINT32_MAX : *wanted.rbegin() + 1);
  return found;
}

// The payload an entry's current record points at.
bool current_payload(const std::map<std::uint32_t, EntryLocation>& locations, std::uint32_t entry,
                     ByteBuffer* payload, std::string* error) {
  const auto location = locations.find(entry);
  if (location == locations.end()) {
    *error = format_text("entry %u is missing or empty", entry);
    return false;
  }
  return read_entry_payload(location->second, payload, error);
}

// True when the mod's payload, decoded as a reader of this archive will,
// yields the item its output id names: a mod is outside input, and its bytes
// are not written into an archive unless they read as what they claim.
bool payload_holds_item(const Archive& archive, const ModEntry& entry) {
  const ByteBuffer payload =
      make_payload_buffer(entry.payload.data(), static_cast<std::uint32_t>(entry.payload.size()));
  Archive checker;
  ContentTree tree;
  decode_apart(archive, entry.output_id, entry.entry, payload.data(),
               static_cast<std::uint32_t>(entry.payload.size()), &checker, &tree);
  return checker.image_size > 0;
}

struct PlannedEntry {
  const ModEntry* entry;
  EntryLocation location;
  std::uint64_t new_offset = 0;
};

struct Append {
  std::int64_t former_size = 0;
  std::uint64_t end = 0;  // where the next payload goes
};

}  // namespace

bool export_mod(const std::string& index_path, ModFile* mod, std::string* error) {
  *mod = ModFile();
  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *error = "cannot open " + index_path + ": " + archive.error;
    return false;
  }
  mod->archive_name = file_name_of(index_path).substr(0, kMaxModNameLength);
  const ReplacementHistory history = replacement_history(archive);
  std::set<std::uint32_t> in_effect;
  for (const HistoryItem& item : history.newest_first) {
    if (item.status == ReplacementStatus::kInEffect) in_effect.insert(item.record.entry);
  }
  const std::map<std::uint32_t, EntryLocation> locations = locations_of(archive, in_effect);
  for (std::size_t i = 0; i < history.newest_first.size(); ++i) {
    const HistoryItem& top = history.newest_first[i];
    if (top.status != ReplacementStatus::kInEffect) continue;
    // Back along the replacements this one was made on, to the first: the
    // payload the mod replaces is the one that was there before it.
    const HistoryItem* first = &top;
    for (bool found = true; found;) {
      found = false;
      const std::size_t first_number =
          static_cast<std::size_t>(first - history.newest_first.data()) + 1;
      for (const HistoryItem& older : history.newest_first) {
        if (older.status == ReplacementStatus::kBuiltOn && older.built_on_by == first_number) {
          first = &older;
          found = true;
          break;
        }
      }
    }
    ModEntry entry;
    entry.entry = top.record.entry;
    entry.output_id = top.record.output_id;
    entry.replaced_crc = first->record.payload_crc_before;
    entry.replaced_size = first->record.before.size_comp;
    const IndexEntry& record = archive.entries[top.record.entry];
    if (record.size_comp > kMaxModPayloadLength || record.size_uncomp > 0xFFFFFFFFull) {
      *error = format_text("entry %u is larger than a mod entry may be", entry.entry);
      return false;
    }
    entry.decoded_size = static_cast<std::uint32_t>(record.size_uncomp);
    ByteBuffer payload;
    if (!current_payload(locations, entry.entry, &payload, error)) return false;
    const auto length = static_cast<std::size_t>(record.size_comp);
    entry.payload.assign(payload.begin(), payload.begin() + static_cast<long>(length));
    entry.payload_crc = crc32_of(entry.payload.data(), length);
    if (entry.payload_crc != top.record.payload_crc_after) {
      *error = format_text("entry %u no longer holds the bytes its replacement wrote", entry.entry);
      return false;
    }
    mod->entries.push_back(std::move(entry));
  }
  std::sort(mod->entries.begin(), mod->entries.end(),
            [](const ModEntry& a, const ModEntry& b) { return a.entry < b.entry; });
  if (mod->entries.empty()) {
    *error = "the journal lists no replacement in effect to export";
    if (!history.note.empty()) *error += " (" + history.note + ")";
    return false;
  }
  return true;
}

bool apply_mod(const std::string& index_path, const ModFile& mod, const std::string& mod_name,
               std::uint32_t mod_crc, std::string* report, std::string* error) {
  if (mod.entries.empty()) {
    *error = "the mod holds no entries";
    return false;
  }
  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *error = "cannot open " + index_path + ": " + archive.error;
    return false;
  }
  const std::string first_data_file = first_data_file_of(archive);
  const FileLock lock(first_data_file.c_str());
  if (!lock.held() || archive.open(index_path.c_str()) != 1) {
    *error = "cannot lock " + first_data_file + " for the mod";
    return false;
  }

  // Every entry is checked before anything is written.
  std::vector<std::string> reasons;
  std::vector<PlannedEntry> plan;
  std::vector<std::string> files = {index_path};
  std::set<std::uint32_t> wanted;
  for (const ModEntry& entry : mod.entries) wanted.insert(entry.entry);
  const std::map<std::uint32_t, EntryLocation> locations = locations_of(archive, wanted);
  for (const ModEntry& entry : mod.entries) {
    const auto found = locations.find(entry.entry);
    if (found == locations.end()) {
      reasons.push_back(format_text("entry %u is missing or empty here", entry.entry));
      continue;
    }
    const EntryLocation* location = &found->second;
    if (archive.first_bin_number != -1 && location->number != 0 && location->record.offset == 0) {
      reasons.push_back(format_text("entry %u begins data file %s and cannot move", entry.entry,
                                    location->data_file.c_str()));
      continue;
    }
    ByteBuffer payload;
    std::string read_error;
    if (!read_entry_payload(*location, &payload, &read_error)) {
      reasons.push_back(read_error);
      continue;
    }
    const auto length = static_cast<std::size_t>(location->record.size_comp);
    const std::uint32_t crc = crc32_of(payload.data(), length);
    if (length == entry.payload.size() && crc == entry.payload_crc) {
      reasons.push_back(format_text("entry %u already holds this mod's payload", entry.entry));
    } else if (location->record.size_comp != entry.replaced_size || crc != entry.replaced_crc) {
      reasons.push_back(
          format_text("entry %u (%s) holds another payload than the one the mod replaces "
                      "(CRC-32 %08X, %" PRIu64 " bytes; the mod expects %08X, %" PRIu64
                      " bytes): another version of the game?",
                      entry.entry, entry.output_id.c_str(), crc, location->record.size_comp,
                      entry.replaced_crc, entry.replaced_size));
    } else if (!payload_holds_item(archive, entry)) {
      reasons.push_back(format_text("entry %u: the mod's payload does not hold %s", entry.entry,
                                    entry.output_id.c_str()));
    } else {
      plan.push_back({&entry, *location});
      files.push_back(location->data_file);
    }
  }
  if (reasons.empty()) {
    const std::string read_only = read_only_reason(files);
    if (!read_only.empty()) reasons.push_back(read_only);
  }
  if (!reasons.empty()) {
    *error = format_text(
        "the mod was not applied, nothing was written; %zu of its %zu entries "
        "do not fit this archive:",
        reasons.size(), mod.entries.size());
    for (std::size_t i = 0; i < reasons.size() && i < kMaxReasonsShown; ++i) {
      *error += "\n  " + reasons[i];
    }
    if (reasons.size() > kMaxReasonsShown) {
      *error += format_text("\n  ... and %zu more", reasons.size() - kMaxReasonsShown);
    }
    return false;
  }

  // Where each payload goes: the end of its own data file, one after another.
  std::map<std::string, Append> appends;
  for (PlannedEntry& planned : plan) {
    auto found = appends.find(planned.location.data_file);
    if (found == appends.end()) {
      const std::int64_t size = file_size64(planned.location.data_file.c_str());
      if (size < 0) {
        *error = "cannot open " + planned.location.data_file;
        return false;
      }
      found =
          appends
              .emplace(planned.location.data_file, Append{size, static_cast<std::uint64_t>(size)})
              .first;
    }
    planned.new_offset = found->second.end;
    found->second.end += planned.entry->payload.size();
    if (found->second.end > kMaxDataFileEnd) {
      *error = format_text("%s would pass 4 GiB; offsets beyond that cannot be stored",
                           planned.location.data_file.c_str());
      return false;
    }
  }
  // Only what we appended is cut off again: bytes another writer added after stay.
  const auto undo_appends = [&] {
    for (const auto& [file, append] : appends) {
      const std::int64_t now = file_size64(file.c_str());
      if (now > append.former_size && static_cast<std::uint64_t>(now) <= append.end) {
        truncate_file(file.c_str(), static_cast<std::uint64_t>(append.former_size));
      }
    }
  };
  for (const PlannedEntry& planned : plan) {
    const std::vector<std::uint8_t>& payload = planned.entry->payload;
    const char* file = planned.location.data_file.c_str();
    ByteBuffer written;
    EntryLocation placed = planned.location;
    placed.record.offset = planned.new_offset;
    placed.record.size_comp = payload.size();
    std::string read_error;
    if (write_file_part(file, payload.data(), kAtEnd, payload.size(), kOpenExisting) !=
            static_cast<std::int32_t>(payload.size()) ||
        file_size64(file) != static_cast<std::int64_t>(planned.new_offset + payload.size()) ||
        !read_entry_payload(placed, &written, &read_error) ||
        crc32_of(written.data(), payload.size()) != planned.entry->payload_crc) {
      undo_appends();
      *error = format_text("appending entry %u to %s failed; the archive is as it was",
                           planned.entry->entry, file);
      return false;
    }
  }
  for (const auto& [file, append] : appends) {
    if (sync_file(file.c_str()) != 1) {
      undo_appends();
      *error = "cannot flush " + file + " to disk; the archive is as it was";
      return false;
    }
  }

  const std::vector<IndexEntry> current(archive.entries.begin(),
                                        archive.entries.begin() + archive.entry_count);
  std::vector<IndexEntry> changed(current);
  for (const PlannedEntry& planned : plan) {
    IndexEntry& record = changed[planned.entry->entry];
    record.offset = planned.new_offset;
    record.size_uncomp = planned.entry->decoded_size;
    record.size_comp = planned.entry->payload.size();
  }
  // Journaled before the index changes, as a replacement is.
  JournalAppend journal(archive.base_path);
  std::vector<JournalRecord> records;
  for (const PlannedEntry& planned : plan) {
    JournalRecord record;
    record.entry = planned.entry->entry;
    record.before = current[planned.entry->entry];
    record.after = changed[planned.entry->entry];
    record.payload_crc_before = planned.entry->replaced_crc;
    record.payload_crc_after = planned.entry->payload_crc;
    record.output_id = planned.entry->output_id;
    record.source_name = mod_name;
    record.source_crc = mod_crc;
    records.push_back(std::move(record));
  }
  journal.append(&records);
  if (!rewrite_index(archive, changed, error)) {
    undo_appends();
    return false;
  }
  // Read back as any reader will.
  Archive check;
  bool read_back = check.open(index_path.c_str()) == 1 && check.entry_count == archive.entry_count;
  const std::map<std::uint32_t, EntryLocation> placed =
      read_back ? locations_of(check, wanted) : std::map<std::uint32_t, EntryLocation>();
  for (std::size_t i = 0; read_back && i < plan.size(); ++i) {
    const ModEntry& entry = *plan[i].entry;
    ByteBuffer payload;
    std::string read_error;
    read_back = same_record(check.entries[entry.entry], changed[entry.entry]) &&
                current_payload(placed, entry.entry, &payload, &read_error) &&
                crc32_of(payload.data(), entry.payload.size()) == entry.payload_crc;
  }
  if (!read_back) {
    std::string restore_error;
    if (rewrite_index(archive, current, &restore_error)) {
      undo_appends();
    } else {
      journal.keep();  // the mod stays in place, so its records must too
    }
    *error = "the applied mod did not read back; the archive is as it was";
    return false;
  }
  journal.keep();
  *report = format_text("applied %zu entries of %s to %s", plan.size(), mod_name.c_str(),
                        index_path.c_str());
  return true;
}

}  // namespace korvel
