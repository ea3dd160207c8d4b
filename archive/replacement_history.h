// The replacements an archive's journal records, as the user sees them
// (newest first, each with whether it can be undone), and undoing one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/replacement_journal.h"

namespace korvel {

enum class ReplacementStatus {
  kInEffect,     // the entry's record is the one this replacement wrote: it can be undone
  kBuiltOn,      // a later replacement of the same entry started from it
  kNotInEffect,  // the entry holds something else (changed outside the journal, or never written)
};

struct HistoryItem {
  JournalRecord record;
  ReplacementStatus status = ReplacementStatus::kNotInEffect;
  std::size_t built_on_by = 0;  // for kBuiltOn: the history number of the later one
};

struct ReplacementHistory {
  std::vector<HistoryItem> newest_first;  // history number N is newest_first[N - 1]
  std::string note;  // what limits the history (a missing or damaged journal), or ""
};

// Replacements not undone, from the journal beside an opened archive,
// judged against its current index.
ReplacementHistory replacement_history(const Archive& archive);

// "in effect", "built on by 2", "not in effect".
std::string status_text(const HistoryItem& item);

// A journal time as "2026-12-07 15:55:24" (UTC).
std::string journal_time_text(std::int64_t time);

// Puts back the record that history number `number` changed, under the
// archive's lock, and reads the entry back to check it. 1 done, 0 refused or
// failed (nothing changed); message says which and why.
int undo_replacement(const std::string& index_path, std::size_t number, std::string* message);

}  // namespace korvel
