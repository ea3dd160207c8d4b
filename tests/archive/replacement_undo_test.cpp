// Undo as a law: whatever replacements were made, undoing them gives back the
// index byte for byte; and a journal cut anywhere never stops browsing or
// replacing.
#include <gtest/gtest.h>

#include <string>

#include "archive/archive.h"
#include "archive/replacement_history.h"
#include "archive/replacement_journal.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::read_bytes;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTexture1 = ".\\00000001\\1.dds";

// Entry 1 is a G1T of two textures; texture 1's pixels come from `seed`, and
// its DDS is written as expected/<expect>.dds.
std::string g1t_archive(bool big_endian, int seed, const char* expect) {
  return std::string(R"({"name": "a", "big_endian": )") + (big_endian ? "true" : "false") +
         R"(, "entries": [
      {"payload": {"text": "first entry"}, "offset": 0},
      {"payload": {"g1t": {"textures": [
         {"format": 8, "width": 16, "height": 16, "levels": 1, "seed": 1},
         {"format": 0, "width": 8, "height": 4, "levels": 1, "seed": )" +
         std::to_string(seed) + R"(, "expect": ")" + expect + R"("}]}}},
      {"payload": {"text": "last entry"}}]})";
}

int replace(const TempDir& dir, const std::string& dds) {
  Archive archive;
  EXPECT_EQ(archive.open(dir.file("a.idx").c_str()), 1);
  const int result = archive.replace_entry(kTexture1, dds.c_str());
  archive.release();
  return result;
}

int undo(const TempDir& dir, std::size_t number, std::string* message) {
  return undo_replacement(dir.file("a.idx"), number, message);
}

ReplacementHistory history_of(const TempDir& dir) {
  Archive archive;
  EXPECT_EQ(archive.open(dir.file("a.idx").c_str()), 1);
  return replacement_history(archive);
}

// Two new pictures for texture 1, named so that their journal records have
// the same length.
struct Pictures {
  TempDir dir_a, dir_b;
  std::string a, b;
  Pictures() {
    test::write_independent_archive(dir_a.path(), g1t_archive(false, 77, "a"));
    test::write_independent_archive(dir_b.path(), g1t_archive(false, 78, "b"));
    a = dir_a.file("expected/a.dds");
    b = dir_b.file("expected/b.dds");
  }
};

TEST(ReplacementUndo, UndoingEveryReplacementGivesBackTheIndexByteForByte) {
  const Pictures pictures;
  for (const bool big_endian : {false, true}) {
    SCOPED_TRACE(big_endian ? "big-endian" : "little-endian");
    TempDir dir;
    test::write_independent_archive(dir.path(), g1t_archive(big_endian, 2, "original"));
    const Bytes original = read_bytes(dir.file("a.idx"));
    std::string message;

    // Replace, undo.
    ASSERT_EQ(replace(dir, pictures.a), 1);
    ASSERT_EQ(history_of(dir).newest_first.size(), 1u);
    ASSERT_EQ(undo(dir, 1, &message), 1) << message;
    EXPECT_EQ(read_bytes(dir.file("a.idx")), original);
    EXPECT_TRUE(history_of(dir).newest_first.empty());

    // Replace A, replace B: A cannot go while B stands on it; undo, undo.
    ASSERT_EQ(replace(dir, pictures.a), 1);
    ASSERT_EQ(replace(dir, pictures.b), 1);
    const Bytes with_b = read_bytes(dir.file("a.idx"));
    const ReplacementHistory history = history_of(dir);
    ASSERT_EQ(history.newest_first.size(), 2u);
    EXPECT_EQ(status_text(history.newest_first[0]), "in effect");
    EXPECT_EQ(status_text(history.newest_first[1]), "built on by 1");
    EXPECT_EQ(history.newest_first[1].record.source_name, pictures.a);
    EXPECT_EQ(undo(dir, 2, &message), 0);
    EXPECT_NE(message.find("undo that first"), std::string::npos) << message;
    EXPECT_EQ(undo(dir, 3, &message), 0);
    EXPECT_EQ(read_bytes(dir.file("a.idx")), with_b);
    ASSERT_EQ(undo(dir, 1, &message), 1) << message;
    ASSERT_EQ(undo(dir, 1, &message), 1) << message;
    EXPECT_EQ(read_bytes(dir.file("a.idx")), original);
    EXPECT_EQ(undo(dir, 1, &message), 0);
  }
}

TEST(ReplacementUndo, AJournalCutAtAnyByteStillLetsBrowsingAndReplacingWork) {
  const Pictures pictures;
  TempDir pristine;
  test::write_independent_archive(pristine.path(), g1t_archive(false, 2, "original"));
  const Bytes index = read_bytes(pristine.file("a.idx"));
  const Bytes data = read_bytes(pristine.file("a.bin"));
  ASSERT_EQ(replace(pristine, pictures.a), 1);
  ASSERT_EQ(replace(pristine, pictures.b), 1);
  const Bytes journal = read_bytes(journal_path(pristine.path() + "/a"));
  ASSERT_GT(journal.size(), 12u);
  const std::size_t first_record =
      12 + (journal[4] | journal[5] << 8 | journal[6] << 16 | std::size_t{journal[7]} << 24);

  TempDir dir;
  for (std::size_t cut = 0; cut <= journal.size(); ++cut) {
    SCOPED_TRACE(cut);
    test::write_bytes(dir.file("a.idx"), index);
    test::write_bytes(dir.file("a.bin"), data);
    test::write_bytes(journal_path(dir.path() + "/a"),
                      Bytes(journal.begin(), journal.begin() + static_cast<long>(cut)));
    Archive browse;
    ASSERT_EQ(browse.open(dir.file("a.idx").c_str()), 1);
    ASSERT_EQ(browse.load_entry(kTexture1), 1);
    browse.release();

    ASSERT_EQ(replace(dir, pictures.a), 1);
    const ReplacementHistory history = history_of(dir);
    const bool whole = cut == 0 || cut == first_record || cut == journal.size();
    EXPECT_EQ(history.note.empty(), whole) << history.note;
    const std::size_t kept = cut == journal.size() ? 2 : cut >= first_record ? 1 : 0;
    ASSERT_EQ(history.newest_first.size(), kept + 1);
    // The newest, made now, is in effect and can be undone exactly (tried at
    // a sample of cuts: each undo waits for the disk three times).
    EXPECT_EQ(status_text(history.newest_first[0]), "in effect");
    if (whole || cut % 16 == 1) {
      std::string message;
      ASSERT_EQ(undo(dir, 1, &message), 1) << message;
      EXPECT_EQ(read_bytes(dir.file("a.idx")), index);
    }
  }
}

}  // namespace
}  // namespace korvel
