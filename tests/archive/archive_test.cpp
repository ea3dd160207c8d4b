// Opening archives and walking their entries, on archives written by the
// independent writer (tests/fixtures/independent_archive.py).
#include <gtest/gtest.h>

#include <rapidxml_print.hpp>

#include "archive/archive.h"
#include "archive/entry_walk.h"
#include "archive/file_io.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::TempDir;

std::string printed(const ContentTree& tree) {
  std::string text;
  rapidxml::print(std::back_inserter(text), tree, rapidxml::print_no_indenting);
  return text;
}

// Data file of every entry, as the walk assigns them.
std::vector<std::string> data_files_of(const Archive& archive) {
  std::vector<std::string> names;
  std::int32_t file_number = archive.first_bin_number;
  for (std::uint32_t i = 0; i < archive.entry_count; ++i) {
    if (archive.first_bin_number != -1 && i != 0 && archive.entries[i].offset == 0) ++file_number;
    const std::string name =
        data_file_name(archive.base_path, archive.first_bin_number, file_number);
    names.push_back(name.substr(name.rfind('/') + 1));
  }
  return names;
}

TEST(ArchiveOpen, RefusesWhatItCannotRead) {
  TempDir dir;
  test::write_bytes(dir.file("odd.idx"), std::vector<std::uint8_t>(33));
  test::write_bytes(dir.file("odd.bin"), {});
  test::write_bytes(dir.file("nodata.idx"), {});
  test::write_bytes(dir.file("noext"), {});
  test::write_bytes(dir.file("huge.bin"), {});
  test::write_bytes(dir.file("huge.idx"), {});
  ASSERT_EQ(truncate_file(dir.file("huge.idx").c_str(), 32ull * (kMaxIndexRecords + 1)), 1);
  struct Case {
    std::string path;
    ErrorKind kind;
  } cases[] = {
      {dir.file("odd.idx"), ErrorKind::kInvalidData},      // size not a multiple of 32
      {dir.file("nodata.idx"), ErrorKind::kInputOutput},   // no data file
      {dir.file("missing.idx"), ErrorKind::kInputOutput},  // no index file
      {dir.file("noext"), ErrorKind::kInvalidArgument},    // no extension
      {dir.file("huge.idx"), ErrorKind::kNotSupported},    // more records than allowed
  };
  for (const Case& c : cases) {
    Archive archive;
    EXPECT_EQ(archive.open(c.path.c_str()), 0) << c.path;
    EXPECT_EQ(archive.error_kind, c.kind) << archive.error;
    EXPECT_EQ(archive.entry_count, 0u);
    EXPECT_EQ(archive.load_entry("0"), 0);
  }
  Archive archive;
  EXPECT_EQ(archive.open(nullptr), 0);
}

TEST(ArchiveOpen, EmptyIndexIsLittleEndianWithNoEntries) {
  TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "e", "entries": []})");
  Archive archive;
  ASSERT_EQ(archive.open(dir.file("e.idx").c_str()), 1);
  EXPECT_EQ(archive.entry_count, 0u);
  EXPECT_EQ(archive.big_endian, 0);
  EXPECT_EQ(archive.load_entry("0"), 0);
}

TEST(ArchiveOpen, DetectsByteOrderFromTheFirstEntry) {
  TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "be", "big_endian": true, "entries": [
      {"payload": {"text": "hello"}, "offset": 0, "flag": 3},
      {"payload": {"text": "world!"}, "offset": 16}]})");
  Archive archive;
  ASSERT_EQ(archive.open(dir.file("be.idx").c_str()), 1);
  EXPECT_EQ(archive.big_endian, 1);
  ASSERT_EQ(archive.entry_count, 2u);
  EXPECT_EQ(archive.entries[0].size_comp, 5u);
  EXPECT_EQ(archive.entries[0].flag, 3u);
  EXPECT_EQ(archive.entries[1].offset, 16u);

  // A little-endian index whose first entry claims more than the whole first
  // data file holds is taken for big-endian too: there is no other sign.
  test::write_independent_archive(dir.path(), R"({"name": "liar", "entries": [
      {"payload": {"text": "x"}, "offset": 0, "size_uncomp": 4096}]})");
  Archive liar;
  ASSERT_EQ(liar.open(dir.file("liar.idx").c_str()), 1);
  EXPECT_EQ(liar.big_endian, 1);
}

TEST(ArchiveOpen, DataFileRule) {
  TempDir dir;
  // Offsets 0, 0x100, 0, 0x80, 0 lie in files 0, 0, 1, 1, 2; an empty entry
  // with offset 0 moves the count on as well.
  test::write_independent_archive(dir.path(), R"({"name": "s", "series": true, "entries": [
      {"payload": {"text": "a"}, "file": 0, "offset": 0},
      {"payload": {"text": "b"}, "file": 0, "offset": 256},
      {"payload": {"text": "c"}, "file": 1, "offset": 0},
      {"payload": {"text": "d"}, "file": 1, "offset": 128},
      {"payload": {"text": "e"}, "file": 2, "offset": 0},
      {"empty": true, "file": 3, "offset": 0},
      {"payload": {"text": "f"}, "file": 4, "offset": 0}]})");
  Archive series;
  ASSERT_EQ(series.open(dir.file("s.idx").c_str()), 1);
  EXPECT_EQ(series.first_bin_number, 0);
  EXPECT_EQ(data_files_of(series), (std::vector<std::string>{"s0.bin", "s0.bin", "s1.bin", "s1.bin",
                                                             "s2.bin", "s3.bin", "s4.bin"}));
  ContentTree tree;
  ASSERT_EQ(series.load_entry_into(tree, "6"), 0);  // no decoder produces an item
  EXPECT_NE(printed(tree).find("rawdata=\"66000000000000000000000000000000,f\""),
            std::string::npos);

  // With both a single file and a series present, the single file wins.
  test::write_bytes(dir.file("s.bin"), {'z'});
  Archive single;
  ASSERT_EQ(single.open(dir.file("s.idx").c_str()), 1);
  EXPECT_EQ(single.first_bin_number, -1);
  EXPECT_EQ(data_files_of(single)[4], "s.bin");
}

TEST(LoadEntry, ListsEntriesUpToTheRequestedOne) {
  TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "a", "entries": [
      {"payload": {"text": "zero"}, "offset": 0},
      {"empty": true, "offset": 0},
      {"payload": {"hex": "414243"}, "offset": 6720, "flag": 1},
      {"payload": {"text": "three"}}]})");
  Archive archive;
  ASSERT_EQ(archive.open(dir.file("a.idx").c_str()), 1);
  ContentTree tree;
  EXPECT_EQ(archive.load_entry_into(tree, ".\\00000002\\0\\3.dds"), 0);
  EXPECT_EQ(archive.requested_key, ".\\00000002\\0\\3.dds");
  EXPECT_EQ(printed(tree),
            "<idx_bin_all_info>"
            "<idx_No.00000000 offset=\"0000000000000000h\" size_uncomp=\"0000000000000004h\" "
            "size_comp=\"0000000000000004h\" flag=\"0000000000000000h\" number=\"00000000\"/>"
            "<idx_No.00000001 offset=\"0000000000000000h\" size_uncomp=\"0000000000000000h\" "
            "size_comp=\"0000000000000000h\" flag=\"0000000000000000h\" number=\"00000001\"/>"
            "<idx_No.00000002 offset=\"0000000000001A40h\" size_uncomp=\"0000000000000003h\" "
            "size_comp=\"0000000000000003h\" flag=\"0000000000000001h\" number=\"00000002\">"
            "<unknow number=\"0\" rawdata=\"41424300000000000000000000000000,ABC\"/>"
            "</idx_No.00000002>"
            "</idx_bin_all_info>");

  // Keys in both forms name the same entry; an empty entry or one past the
  // end lists everything and loads nothing.
  struct Case {
    const char* key;
    std::size_t listed;
    bool dispatched;
  } cases[] = {
      {"00000002", 3, true}, {"2", 3, true},   {" +2abc", 3, true}, {"1", 4, false},
      {"99", 4, false},      {"-1", 4, false}, {"", 1, true},       {".\\", 1, true},
  };
  for (const Case& c : cases) {
    ContentTree listing;
    Archive fresh;
    fresh.open(dir.file("a.idx").c_str());
    EXPECT_EQ(fresh.load_entry_into(listing, c.key), 0) << c.key;
    std::size_t listed = 0;
    bool dispatched = false;
    for (auto* e = listing.first_node()->first_node(); e; e = e->next_sibling()) {
      ++listed;
      dispatched = dispatched || e->first_node() != nullptr;
    }
    EXPECT_EQ(listed, c.listed) << c.key;
    EXPECT_EQ(dispatched, c.dispatched) << c.key;
    EXPECT_TRUE(fresh.image.empty());
  }
  EXPECT_EQ(archive.load_entry(nullptr), 0);
}

TEST(LoadEntry, PayloadsBeyondTheDataFileAreNotDispatched) {
  TempDir dir;
  // size_comp past the end, an offset past the end, and 4 GiB or more.
  test::write_independent_archive(dir.path(), R"({"name": "lie", "entries": [
      {"payload": {"text": "real"}, "offset": 0},
      {"payload": {"text": "short"}, "offset": 16, "size_comp": 4000},
      {"payload": {"text": "far"}, "offset": 32, "size_comp": 3},
      {"payload": {"text": "huge"}, "offset": 48, "size_comp": 4294967296}]})");
  // Entry 2 is moved past the end by rewriting its offset.
  Archive archive;
  ASSERT_EQ(archive.open(dir.file("lie.idx").c_str()), 1);
  archive.entries[2].offset = 1u << 30;
  for (const char* key : {"1", "2", "3"}) {
    ContentTree tree;
    EXPECT_EQ(archive.load_entry_into(tree, key), 0) << key;
    EXPECT_FALSE(archive.error.empty()) << key;
    const auto* entry = tree.first_node()->last_node();
    EXPECT_EQ(entry->first_node(), nullptr) << key << ": nothing may be dispatched";
  }
}

}  // namespace
}  // namespace korvel
