// Replacing a texture in archives written by the independent writer: the files
// must end exactly as expected, or exactly as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <set>
#include <string>

#include "archive/archive.h"
#include "archive/file_io.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::read_bytes;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// An archive whose entry 1 is a G1T of two textures; texture 1's pixels come
// from `seed`, so two archives that differ only there differ only in those
// pixels. Entry 1 sits in its own data file when `series` is set.
std::string g1t_archive(bool big_endian, bool series, int seed, const char* expect_name,
                        int first_seed = 1) {
  const std::string order = big_endian ? "true" : "false";
  const std::string second_file = series ? R"("file": 1, "offset": 0, )" : "";
  return std::string(R"({"name": "a", "big_endian": )") + order + R"(, "series": )" +
         (series ? "true" : "false") + R"(, "entries": [
      {"payload": {"text": "first entry"}, "offset": 0},
      {)" +
         second_file + R"("payload": {"g1t": {"magic": "G1TG", "header_extra": "0A0B0C0D",
         "global_data": "0000000100000000", "textures": [
         {"format": 8, "width": 16, "height": 16, "levels": 3, "seed": )" +
         std::to_string(first_seed) + R"(, "expect": "t0"},
         {"format": 0, "width": 8, "height": 4, "levels": 1, "seed": )" +
         std::to_string(seed) + R"(, "expect": ")" + expect_name + R"("}]}}},
      {"empty": true},
      {"payload": {"text": "last entry"}}]})";
}

// Entry 1 holds a zlib chunk stream of a pack whose item 1 is a G1T: the
// texture travels back out through three containers.
std::string nested_archive(bool big_endian, int seed, const char* expect_name) {
  return std::string(R"({"name": "a", "big_endian": )") + (big_endian ? "true" : "false") +
         R"(, "entries": [
      {"payload": {"text": "first entry"}, "offset": 0},
      {"payload": {"zlib_stream": {"chunk_size": 16384, "payload": {"pack": {"items": [
          {"text": "item zero, twenty bytes"},
          {"g1t": {"textures": [
             {"format": 6, "width": 32, "height": 32, "levels": 2, "seed": 5},
             {"format": 8, "width": 16, "height": 16, "levels": 1, "seed": )" +
         std::to_string(seed) + R"(, "expect": ")" + expect_name + R"("}]}},
          {"repeat": [65, 20000]}]}}}}}]})";
}

constexpr const char* kNestedTexture = ".\\00000001\\0\\1\\1.dds";

struct Snapshot {
  Bytes index;
  Bytes data;
  bool operator==(const Snapshot& other) const {
    return index == other.index && data == other.data;
  }
};

Snapshot snapshot(const TempDir& dir, const std::string& data_file = "a.bin") {
  return {read_bytes(dir.file("a.idx")), read_bytes(dir.file(data_file))};
}

std::uint64_t record_field(const Bytes& index, int entry, int field, bool big_endian) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) {
    const std::uint64_t byte = index.at(static_cast<std::size_t>(entry * 32 + field * 8 + i));
    value |= byte << (big_endian ? 8 * (7 - i) : 8 * i);
  }
  return value;
}

int replace(const TempDir& dir, const std::string& key, const std::string& dds) {
  Archive archive;
  EXPECT_EQ(archive.open(dir.file("a.idx").c_str()), 1);
  const int result = archive.replace_entry(key.c_str(), dds.c_str());
  archive.release();
  return result;
}

constexpr const char* kTexture1 = ".\\00000001\\1.dds";

TEST(ReplaceEntry, LeavesTheFilesExactlyAsExpectedInBothByteOrders) {
  for (const bool big_endian : {false, true}) {
    TempDir dir, wanted;
    test::write_independent_archive(dir.path(), g1t_archive(big_endian, false, 2, "t1"));
    // The same archive with the new texture, written independently.
    test::write_independent_archive(wanted.path(), g1t_archive(big_endian, false, 77, "new"));
    const Snapshot before = snapshot(dir);
    const Bytes wanted_index = read_bytes(wanted.file("a.idx"));
    const Bytes wanted_data = read_bytes(wanted.file("a.bin"));
    const std::uint64_t wanted_offset = record_field(wanted_index, 1, 0, big_endian);
    const std::uint64_t wanted_size = record_field(wanted_index, 1, 2, big_endian);
    const Bytes wanted_payload(
        wanted_data.begin() + static_cast<long>(wanted_offset),
        wanted_data.begin() + static_cast<long>(wanted_offset + wanted_size));

    ASSERT_EQ(replace(dir, kTexture1, wanted.file("expected/new.dds")), 1) << big_endian;
    const Snapshot after = snapshot(dir);
    // The data file grew by exactly the new payload, appended.
    Bytes expected_data = before.data;
    expected_data.insert(expected_data.end(), wanted_payload.begin(), wanted_payload.end());
    EXPECT_EQ(after.data, expected_data);
    // Only entry 1's record changed: offset = former size, sizes = the new
    // payload's; its flag and every other record stay byte for byte.
    ASSERT_EQ(after.index.size(), before.index.size());
    for (std::size_t i = 0; i < before.index.size(); ++i) {
      if (i >= 32 && i < 56) continue;
      EXPECT_EQ(after.index[i], before.index[i]) << "index byte " << i;
    }
    EXPECT_EQ(record_field(after.index, 1, 0, big_endian), before.data.size());
    EXPECT_EQ(record_field(after.index, 1, 1, big_endian), wanted_size);
    EXPECT_EQ(record_field(after.index, 1, 2, big_endian), wanted_size);

    // Extracting it again gives the new DDS; the same DDS again is unchanged.
    Archive reader;
    reader.open(dir.file("a.idx").c_str());
    ASSERT_EQ(reader.load_entry(kTexture1), 1);
    EXPECT_EQ(Bytes(reader.image.begin(), reader.image.begin() + reader.image_size),
              read_bytes(wanted.file("expected/new.dds")));
    EXPECT_EQ(replace(dir, kTexture1, wanted.file("expected/new.dds")), 2);
    EXPECT_TRUE(snapshot(dir) == after);
  }
}

TEST(ReplaceEntry, ReachesATextureThroughNestedContainers) {
  for (const bool big_endian : {false, true}) {
    TempDir dir, wanted;
    test::write_independent_archive(dir.path(), nested_archive(big_endian, 2, "old"));
    test::write_independent_archive(wanted.path(), nested_archive(big_endian, 9, "new"));
    const Snapshot before = snapshot(dir);
    EXPECT_EQ(replace(dir, kNestedTexture, dir.file("expected/old.dds")), 2) << big_endian;
    EXPECT_TRUE(snapshot(dir) == before);

    ASSERT_EQ(replace(dir, kNestedTexture, wanted.file("expected/new.dds")), 1) << big_endian;
    // The rebuilt entry is the independently written one, byte for byte.
    const Bytes wanted_data = read_bytes(wanted.file("a.bin"));
    const Bytes wanted_index = read_bytes(wanted.file("a.idx"));
    const std::uint64_t offset = record_field(wanted_index, 1, 0, big_endian);
    const std::uint64_t size = record_field(wanted_index, 1, 2, big_endian);
    Bytes expected_data = before.data;
    expected_data.insert(expected_data.end(), wanted_data.begin() + static_cast<long>(offset),
                         wanted_data.begin() + static_cast<long>(offset + size));
    EXPECT_EQ(read_bytes(dir.file("a.bin")), expected_data);
    // The recorded decoded size is the stream's total_size (header word 2).
    std::uint64_t total_size = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint64_t byte = wanted_data.at(offset + 8 + static_cast<std::uint64_t>(i));
      total_size |= byte << (big_endian ? 8 * (3 - i) : 8 * i);
    }
    EXPECT_EQ(record_field(read_bytes(dir.file("a.idx")), 1, 1, big_endian), total_size);

    Archive reader;
    reader.open(dir.file("a.idx").c_str());
    ASSERT_EQ(reader.load_entry(kNestedTexture), 1);
    EXPECT_EQ(Bytes(reader.image.begin(), reader.image.begin() + reader.image_size),
              read_bytes(wanted.file("expected/new.dds")));
  }
}

TEST(ReplaceEntry, AFailedRebuildDeepInsideWritesNothing) {
  TempDir dir, other;
  test::write_independent_archive(dir.path(), nested_archive(false, 2, "old"));
  // A DXT1 file for the DXT5 texture: refused three containers down.
  test::write_independent_archive(other.path(), R"({"name": "o", "entries": [
      {"payload": {"g1t": {"textures": [{"format": 6, "width": 16, "height": 16,
                                         "expect": "dxt1"}]}}, "offset": 0}]})");
  const Snapshot before = snapshot(dir);
  Archive archive;
  archive.open(dir.file("a.idx").c_str());
  EXPECT_EQ(archive.replace_entry(kNestedTexture, other.file("expected/dxt1.dds").c_str()), 0);
  EXPECT_EQ(archive.error_kind, ErrorKind::kInvalidArgument) << archive.error;  // pixel format
  EXPECT_TRUE(snapshot(dir) == before);
}

TEST(ReplaceEntry, NothingIsWrittenWhenNothingChangesOrTheRequestIsBad) {
  TempDir dir;
  test::write_independent_archive(dir.path(), g1t_archive(false, false, 2, "t1"));
  test::write_bytes(dir.file("empty.dds"), {});
  ASSERT_EQ(::mkfifo(dir.file("fifo.dds").c_str(), 0644), 0);
  const Snapshot before = snapshot(dir);
  struct Case {
    std::string key;
    std::string dds;
    int result;
  } cases[] = {
      {kTexture1, dir.file("expected/t1.dds"), 2},             // its own extracted DDS
      {".\\00000001\\7.dds", dir.file("expected/t1.dds"), 2},  // matches no texture
      {".\\00000002\\0.dds", dir.file("expected/t1.dds"), 0},  // empty entry
      {".\\00000009\\0.dds", dir.file("expected/t1.dds"), 0},  // no such entry
      {kTexture1, dir.file("empty.dds"), 0},
      {kTexture1, dir.file("missing.dds"), 0},
      {kTexture1, dir.file("a.idx"), 0},     // not a DDS file
      {kTexture1, dir.file("fifo.dds"), 0},  // refused at once, not waited on
  };
  for (const Case& c : cases) {
    Archive archive;
    archive.open(dir.file("a.idx").c_str());
    EXPECT_EQ(archive.replace_entry(c.key.c_str(), c.dds.c_str()), c.result) << c.key << c.dds;
    if (c.result == 0) {
      EXPECT_FALSE(archive.error.empty());
    }
    EXPECT_TRUE(snapshot(dir) == before) << c.key << " " << c.dds;
  }
  // A missing entry still leaves the DDS in image.
  Archive archive;
  archive.open(dir.file("a.idx").c_str());
  EXPECT_EQ(archive.replace_entry(".\\00000002\\0.dds", dir.file("expected/t1.dds").c_str()), 0);
  EXPECT_EQ(Bytes(archive.image.begin(), archive.image.begin() + archive.image_size),
            read_bytes(dir.file("expected/t1.dds")));
  EXPECT_EQ(archive.replace_entry(nullptr, "x"), 0);
  EXPECT_EQ(archive.replace_entry("1", nullptr), 0);
  EXPECT_EQ(archive.replace_entry(kTexture1, dir.file("fifo.dds").c_str()), 0);
  EXPECT_EQ(archive.error_kind, ErrorKind::kInvalidArgument) << archive.error;
  // A read-only archive is refused, whoever runs it.
  for (const char* name : {"a.idx", "a.bin"}) {
    ::chmod(dir.file(name).c_str(), 0444);
    EXPECT_EQ(archive.replace_entry(kTexture1, dir.file("expected/t1.dds").c_str()), 0);
    EXPECT_EQ(archive.error_kind, ErrorKind::kInputOutput) << archive.error;
    ::chmod(dir.file(name).c_str(), 0644);
  }
  // The archive's own files, too.
  ::rename(dir.file("a.idx").c_str(), dir.file("b.idx").c_str());
  ASSERT_EQ(::mkfifo(dir.file("a.idx").c_str(), 0644), 0);
  EXPECT_EQ(archive.open(dir.file("a.idx").c_str()), 0);
  EXPECT_EQ(archive.error_kind, ErrorKind::kInvalidArgument) << archive.error;
  ::rename(dir.file("b.idx").c_str(), dir.file("c.idx").c_str());
  ASSERT_EQ(::mkfifo(dir.file("c.bin").c_str(), 0644), 0);
  EXPECT_EQ(archive.open(dir.file("c.idx").c_str()), 0);
  EXPECT_EQ(archive.error_kind, ErrorKind::kInvalidArgument) << archive.error;
}

// Every write step fails in turn; the archive must read as before each time.
std::string g_failing_operation;
bool fail_chosen(const char* operation, const char*) {
  return g_failing_operation == operation;
}

TEST(ReplaceEntry, AFailureAtAnyWriteLeavesTheArchiveAsItWas) {
  TempDir wanted;
  test::write_independent_archive(wanted.path(), g1t_archive(false, false, 77, "new"));
  set_write_fault_hook(&fail_chosen);
  for (const char* operation : {"write", "sync", "replace.write", "replace.rename"}) {
    TempDir dir;
    test::write_independent_archive(dir.path(), g1t_archive(false, false, 2, "t1"));
    const Snapshot before = snapshot(dir);
    g_failing_operation = operation;
    Archive archive;
    archive.open(dir.file("a.idx").c_str());
    EXPECT_EQ(archive.replace_entry(kTexture1, wanted.file("expected/new.dds").c_str()), 0)
        << operation;
    EXPECT_FALSE(archive.error.empty()) << operation;
    g_failing_operation.clear();
    EXPECT_TRUE(snapshot(dir) == before) << operation;
    // No temporary file is left beside the index.
    EXPECT_EQ(test::run_command("test $(ls -A '" + dir.path() + "' | wc -l) -eq 4"), 0)
        << operation;
  }
  // The index write fails and so does the undo of the append: the appended
  // bytes stay, unreferenced, and every entry still reads as before.
  TempDir dir;
  test::write_independent_archive(dir.path(), g1t_archive(false, false, 2, "t1"));
  const Snapshot before = snapshot(dir);
  static const std::set<std::string> kBoth = {"replace.rename", "truncate"};
  set_write_fault_hook(
      [](const char* operation, const char*) { return kBoth.count(operation) > 0; });
  EXPECT_EQ(replace(dir, kTexture1, wanted.file("expected/new.dds")), 0);
  set_write_fault_hook(nullptr);
  EXPECT_EQ(read_bytes(dir.file("a.idx")), before.index);
  Archive reader;
  reader.open(dir.file("a.idx").c_str());
  ASSERT_EQ(reader.load_entry(kTexture1), 1);
  EXPECT_EQ(Bytes(reader.image.begin(), reader.image.begin() + reader.image_size),
            read_bytes(dir.file("expected/t1.dds")));

  // Bytes another writer appended after ours are not the undo's to remove.
  TempDir shared;
  test::write_independent_archive(shared.path(), g1t_archive(false, false, 2, "t1"));
  static std::string foreign_file;
  foreign_file = shared.file("a.bin");
  set_write_fault_hook([](const char* operation, const char*) {
    if (std::strcmp(operation, "replace.rename") != 0) return false;
    test::run_command("printf foreign >> '" + foreign_file + "'");
    return true;
  });
  EXPECT_EQ(replace(shared, kTexture1, wanted.file("expected/new.dds")), 0);
  set_write_fault_hook(nullptr);
  const Bytes data = read_bytes(shared.file("a.bin"));
  EXPECT_EQ(std::string(data.end() - 7, data.end()), "foreign");
}

TEST(ReplaceEntry, ReachesTheRealIndexThroughLinksAndUnderLongNames) {
  TempDir wanted;
  test::write_independent_archive(wanted.path(), g1t_archive(false, false, 77, "new"));
  const Bytes new_dds = read_bytes(wanted.file("expected/new.dds"));
  const std::string long_name(250, 'n');
  for (const bool through_links : {true, false}) {
    TempDir dir;
    test::write_independent_archive(dir.path(), g1t_archive(false, false, 2, "t1"));
    std::string index = dir.file("a.idx");
    if (through_links) {
      ::mkdir(dir.file("elsewhere").c_str(), 0755);
      for (const char* name : {"a.idx", "a.bin"}) {
        ::symlink((std::string("../") + name).c_str(),
                  dir.file(std::string("elsewhere/") + name).c_str());
      }
      index = dir.file("elsewhere/a.idx");
    } else {
      // Names near the file-name limit leave no room for a temporary name made from them.
      index = dir.file(long_name + ".idx");
      ::rename(dir.file("a.idx").c_str(), index.c_str());
      ::rename(dir.file("a.bin").c_str(), dir.file(long_name + ".bin").c_str());
    }
    Archive archive;
    ASSERT_EQ(archive.open(index.c_str()), 1);
    EXPECT_EQ(archive.replace_entry(kTexture1, wanted.file("expected/new.dds").c_str()), 1)
        << archive.error;
    struct stat status {};
    ::lstat(index.c_str(), &status);
    EXPECT_EQ(S_ISLNK(status.st_mode), through_links);
    Archive reader;
    ASSERT_EQ(reader.open(through_links ? dir.file("a.idx").c_str() : index.c_str()), 1);
    ASSERT_EQ(reader.load_entry(kTexture1), 1);
    EXPECT_EQ(Bytes(reader.image.begin(), reader.image.begin() + reader.image_size), new_dds);
  }
}

TEST(ReplaceEntry, ReplacementsAtOnceWaitForEachOtherAndKeepEachOthersWork) {
  TempDir dir, new_first, new_second;
  test::write_independent_archive(dir.path(), g1t_archive(false, false, 2, "t1"));
  test::write_independent_archive(new_first.path(), g1t_archive(false, false, 2, "t1", 55));
  test::write_independent_archive(new_second.path(), g1t_archive(false, false, 77, "new"));
  const std::string first_dds = new_first.file("expected/t0.dds");
  const std::string second_dds = new_second.file("expected/new.dds");
  Archive first, second;
  ASSERT_EQ(first.open(dir.file("a.idx").c_str()), 1);
  ASSERT_EQ(second.open(dir.file("a.idx").c_str()), 1);
  // While another writer holds the archive, a replacement waits for it.
  std::optional<FileLock> other(std::in_place, dir.file("a.bin").c_str());
  ASSERT_TRUE(other->held());
  auto pending = std::async(std::launch::async,
                            [&] { return second.replace_entry(kTexture1, second_dds.c_str()); });
  EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  other.reset();
  EXPECT_EQ(pending.get(), 1) << second.error;
  // Opened before that replacement, the next one still builds on it.
  EXPECT_EQ(first.replace_entry(".\\00000001\\0.dds", first_dds.c_str()), 1) << first.error;
  Archive reader;
  reader.open(dir.file("a.idx").c_str());
  for (const auto& [key, dds] :
       {std::pair{".\\00000001\\0.dds", first_dds}, std::pair{kTexture1, second_dds}}) {
    ASSERT_EQ(reader.load_entry(key), 1) << key;
    EXPECT_EQ(Bytes(reader.image.begin(), reader.image.begin() + reader.image_size),
              read_bytes(dds))
        << key;
  }
}

TEST(ReplaceEntry, RefusesWhatWouldCorruptTheArchive) {
  TempDir wanted;
  test::write_independent_archive(wanted.path(), g1t_archive(false, true, 77, "new"));
  const std::string new_dds = wanted.file("expected/new.dds");

  // An entry that begins a later data file of a series keeps offset 0.
  TempDir series;
  test::write_independent_archive(series.path(), g1t_archive(false, true, 2, "t1"));
  const Snapshot series_before = snapshot(series, "a1.bin");
  EXPECT_EQ(replace(series, kTexture1, new_dds), 0);
  EXPECT_TRUE(snapshot(series, "a1.bin") == series_before);

  // A data file at 4 GiB: the new offset would not fit (the file is sparse).
  TempDir large;
  test::write_independent_archive(large.path(), g1t_archive(false, false, 2, "t1"));
  ASSERT_EQ(truncate_file(large.file("a.bin").c_str(), 0x100000000ull), 1);
  const Bytes index_before = read_bytes(large.file("a.idx"));
  Archive archive;
  archive.open(large.file("a.idx").c_str());
  EXPECT_EQ(archive.replace_entry(kTexture1, new_dds.c_str()), 0);
  EXPECT_EQ(archive.error_kind, ErrorKind::kNotSupported) << archive.error;  // past 4 GiB
  EXPECT_EQ(read_bytes(large.file("a.idx")), index_before);
  EXPECT_EQ(file_size64(large.file("a.bin").c_str()), 0x100000000ll);

  // New pixels that begin like the optional extension would read back 12
  // bytes short: the read-back check refuses them.
  TempDir ambiguous;
  test::write_independent_archive(ambiguous.path(), g1t_archive(false, false, 2, "t1"));
  Bytes dds = read_bytes(ambiguous.file("expected/t1.dds"));
  const std::uint8_t extension[12] = {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  std::memcpy(dds.data() + 128, extension, sizeof extension);
  test::write_bytes(ambiguous.file("tricky.dds"), dds);
  const Snapshot ambiguous_before = snapshot(ambiguous);
  Archive checker;
  checker.open(ambiguous.file("a.idx").c_str());
  EXPECT_EQ(checker.replace_entry(kTexture1, ambiguous.file("tricky.dds").c_str()), 0);
  EXPECT_EQ(checker.error_kind, ErrorKind::kNotSupported) << checker.error;
  EXPECT_TRUE(snapshot(ambiguous) == ambiguous_before);
}

// The index carries no byte-order mark: an archive counts as big-endian when
// its first record, read little-endian, claims more decoded bytes than the
// first data file holds. A replacement must not change what that test says.
TEST(ReplaceEntry, NeverChangesTheByteOrderTheArchiveIsReadWith) {
  for (const bool big_endian : {false, true}) {
    TempDir dir;
    // Entry 0 is a zlib stream of a G1T; zero global data make it compress.
    const std::string order = big_endian ? "true" : "false";
    const std::string zeros(2 * 4096, '0');
    test::write_independent_archive(dir.path(), R"({"name": "a", "big_endian": )" + order +
                                                    R"(, "entries": [{"offset": 0, "payload":
        {"zlib_stream": {"chunk_size": 16384, "payload": {"g1t": {"global_data": ")" +
                                                    zeros + R"(", "textures": [
          {"format": 6, "width": 64, "height": 64, "seed": 3, "expect": "t0"}]}}}}}]})");
    // A far larger texture of zeros: it decodes to more bytes than the data
    // file will hold after the append, since it compresses so well.
    Bytes dds = read_bytes(dir.file("expected/t0.dds"));
    dds.resize(128);
    const std::uint8_t side_1024[4] = {0x00, 0x04, 0x00, 0x00};
    std::memcpy(dds.data() + 12, side_1024, 4);
    std::memcpy(dds.data() + 16, side_1024, 4);
    dds.resize(128 + 1024 * 1024 / 2, 0);
    test::write_bytes(dir.file("large.dds"), dds);
    const Snapshot before = snapshot(dir);

    const char* key = ".\\00000000\\0\\0.dds";
    Archive replacing;
    ASSERT_EQ(replacing.open(dir.file("a.idx").c_str()), 1);
    const int result = replacing.replace_entry(key, dir.file("large.dds").c_str());
    if (result == 0) {
      EXPECT_EQ(replacing.error_kind, ErrorKind::kNotSupported) << replacing.error;
    }
    // Big-endian records read little-endian are huge whatever they hold, so
    // only the little-endian archive has to refuse.
    EXPECT_EQ(result, big_endian ? 1 : 0);
    Archive reader;
    ASSERT_EQ(reader.open(dir.file("a.idx").c_str()), 1);
    EXPECT_EQ(reader.big_endian, big_endian ? 1 : 0) << "result " << result;
    if (result == 1) {
      ASSERT_EQ(reader.load_entry(key), 1) << big_endian;
      EXPECT_EQ(Bytes(reader.image.begin(), reader.image.begin() + reader.image_size), dds);
    } else {
      EXPECT_EQ(result, 0);
      EXPECT_TRUE(snapshot(dir) == before) << big_endian;
    }
  }
}

}  // namespace
}  // namespace korvel
