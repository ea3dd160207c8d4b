// The replacement journal: one small append-only file beside the index
// ("%s.journal" from the archive's base path) in which every replacement,
// mod application and undo of ours leaves a record. Each record carries its
// own checksum, so a damaged or cut journal loses only the records it
// damaged; nothing ever depends on the journal to browse or to replace.
//
// Record layout, all little-endian:
//   0  "KJRN"           magic
//   4  u32 body_length  at most kMaxJournalBody
//   8  body             version u8 (1), kind u8, sequence u64, time i64,
//                       entry u32, record before and after (4 x u64 each,
//                       host values), payload CRC-32 before and after u32,
//                       undoes u64, source CRC-32 u32, output id text,
//                       source name text (texts: u16 length, then bytes)
//   8 + body_length     u32 CRC-32 of everything before it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/index_entry.h"
#include "archive/limits.h"

namespace korvel {

class Archive;
struct EntryLocation;

constexpr char kJournalMagic[4] = {'K', 'J', 'R', 'N'};
constexpr std::uint8_t kJournalVersion = 1;
// A body holds two texts of at most kMaxKeyLength and kMaxPathLength bytes
// and 97 bytes of fields; anything longer is damage.
constexpr std::uint32_t kMaxJournalBody = 4096;
// The journal read at most; hundreds of thousands of records. A longer one
// is read up to here and said to be cut.
constexpr std::uint64_t kMaxJournalBytes = 64ull << 20;

enum class JournalKind : std::uint8_t {
  kReplace = 1,  // an entry's record changed by a replacement or a mod
  kUndo = 2,     // a replacement put back; `undoes` names it
};

struct JournalRecord {
  JournalKind kind = JournalKind::kReplace;
  // Where the record starts in the journal, plus 1: unique among the
  // records a journal holds, and known without reading it.
  std::uint64_t sequence = 0;
  std::int64_t time = 0;  // seconds since 1970, UTC
  std::uint32_t entry = 0;
  IndexEntry before{};  // host byte order
  IndexEntry after{};
  std::uint32_t payload_crc_before = 0;  // CRC-32 of the bytes each record points at
  std::uint32_t payload_crc_after = 0;
  std::uint64_t undoes = 0;      // for kUndo: the sequence put back
  std::uint32_t source_crc = 0;  // CRC-32 of the replacing file (DDS, PNG or mod)
  std::string output_id;
  std::string source_name;
};

struct JournalContents {
  std::vector<JournalRecord> records;  // in the order written
  bool missing = false;                // no journal beside the index
  // Empty when every byte was a whole record; otherwise what was lost, for
  // the user ("3 damaged bytes at 120 skipped: ...").
  std::string damage;
};

std::string journal_path(const std::string& base_path);

// Reads every whole record; damaged stretches are skipped up to the next
// record that checks.
JournalContents read_journal(const std::string& base_path);

// Appends one record, setting its sequence number and (when 0) its time;
// flushed to disk. False when it could not be written: the caller goes
// on, the journal then only covers less.
bool append_journal_record(const std::string& base_path, JournalRecord* record);
// The same for several records, in one write.
bool append_journal_records(const std::string& base_path, std::vector<JournalRecord>* records);

// The bytes of one record, for the journal and its tests.
std::vector<std::uint8_t> encode_journal_record(const JournalRecord& record);

// Records appended for a write that may still fail: unless keep() is called,
// they are taken out of the journal again when this goes, so a replacement
// that changed nothing leaves no record behind. Used under the archive's lock.
class JournalAppend {
 public:
  explicit JournalAppend(std::string base_path);
  JournalAppend(JournalAppend&& other) noexcept;
  JournalAppend(const JournalAppend&) = delete;
  JournalAppend& operator=(const JournalAppend&) = delete;
  JournalAppend& operator=(JournalAppend&&) = delete;
  ~JournalAppend();

  // Appends the records in one write, numbering them.
  void append(std::vector<JournalRecord>* records);
  void keep() { kept_ = true; }

 private:
  std::string base_path_;
  std::int64_t former_size_;  // -1: there was no journal
  std::uint64_t appended_ = 0;
  bool kept_ = false;
};

// What the replacement under way writes, recorded before it renames the
// index: the entry's record before and after and the CRC-32 of both payloads.
JournalAppend journal_replacement(const Archive& archive, const EntryLocation& location,
                                  std::uint64_t new_offset, std::uint32_t new_decoded,
                                  std::uint32_t new_stored, std::uint32_t stored_crc,
                                  std::uint32_t rebuilt_crc);

}  // namespace korvel
