// A mod made on one copy of an archive gives another copy the same textures;
// a copy it does not fit, or a damaged mod, changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "archive/mod_file.h"
#include "tests/support/cli_run.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kTexture0 = ".\\00000001\\0.dds";
constexpr const char* kTexture1 = ".\\00000001\\1.dds";

// Entry 1 holds two textures, entry 2 one; `seed` sets entry 2's pixels, so
// two copies that differ in it differ only in entry 2.
std::string game_archive(int seed) {
  return R"({"name": "a", "entries": [
      {"payload": {"text": "first entry"}, "offset": 0},
      {"payload": {"g1t": {"textures": [
         {"format": 8, "width": 16, "height": 16, "levels": 1, "seed": 1, "expect": "t0"},
         {"format": 0, "width": 8, "height": 4, "levels": 1, "seed": 2, "expect": "t1"}]}}},
      {"payload": {"g1t": {"textures": [
         {"format": 0, "width": 8, "height": 4, "levels": 1, "seed": )" +
         std::to_string(seed) + R"(}]}}}]})";
}

struct Files {
  Bytes index, data;
  bool operator==(const Files& other) const { return index == other.index && data == other.data; }
};

Files files_of(const TempDir& dir) {
  return {read_bytes(dir.file("a.idx")), read_bytes(dir.file("a.bin"))};
}

Bytes extracted(const TempDir& dir, const char* key) {
  const CliRun run = cli({"extract", dir.file("a.idx"), key, dir.file("out.dds")});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  return read_bytes(dir.file("out.dds"));
}

TEST(ModFile, CarriesReplacementsToAnotherCopyAndRefusesWhatDoesNotFit) {
  TempDir first, second, other, pictures;
  write_independent_archive(first.path(), game_archive(3));
  write_independent_archive(second.path(), game_archive(3));
  write_independent_archive(other.path(), game_archive(4));
  // New pictures for both textures of entry 1, from a copy whose seeds differ.
  write_independent_archive(pictures.path(), R"({"name": "p", "entries": [
      {"payload": {"g1t": {"textures": [
         {"format": 8, "width": 16, "height": 16, "levels": 1, "seed": 9, "expect": "n0"},
         {"format": 0, "width": 8, "height": 4, "levels": 1, "seed": 8, "expect": "n1"}]}}}]})");
  const Files pristine = files_of(second);

  ASSERT_EQ(
      cli({"replace", first.file("a.idx"), kTexture0, pictures.file("expected/n0.dds")}).status, 0);
  ASSERT_EQ(
      cli({"replace", first.file("a.idx"), kTexture1, pictures.file("expected/n1.dds")}).status, 0);
  const std::string mod = pictures.file("my.kmod");
  CliRun run = cli({"mod", "export", first.file("a.idx"), mod});
  ASSERT_EQ(run.status, 0) << run.out;
  run = cli({"mod", "show", mod});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("1 entries"), std::string::npos) << run.out;

  // Applied to a pristine copy: the same textures as the first copy.
  run = cli({"mod", "apply", second.file("a.idx"), mod});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(extracted(second, kTexture0), extracted(first, kTexture0));
  EXPECT_EQ(extracted(second, kTexture1), extracted(first, kTexture1));
  // Journaled there: one undo gives the pristine index back.
  run = cli({"history", second.file("a.idx")});
  EXPECT_NE(run.out.find("my.kmod"), std::string::npos) << run.out;
  run = cli({"undo", second.file("a.idx")});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(read_bytes(second.file("a.idx")), pristine.index);

  // A second application of the same mod, on an applied copy, is refused.
  ASSERT_EQ(cli({"mod", "apply", second.file("a.idx"), mod}).status, 0);
  const Files applied = files_of(second);
  run = cli({"mod", "apply", second.file("a.idx"), mod});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.out.find("already holds"), std::string::npos) << run.out;
  EXPECT_TRUE(files_of(second) == applied);

  // A mod of entry 2 does not fit a copy whose entry 2 differs: nothing written.
  ASSERT_EQ(
      cli({"replace", first.file("a.idx"), ".\\00000002\\0.dds", pictures.file("expected/n1.dds")})
          .status,
      0);
  ASSERT_EQ(cli({"mod", "export", first.file("a.idx"), mod}).status, 0);
  const Files before = files_of(other);
  run = cli({"mod", "apply", other.file("a.idx"), mod});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.out.find("entry 2"), std::string::npos) << run.out;
  EXPECT_TRUE(files_of(other) == before);
  EXPECT_EQ(cli({"history", other.file("a.idx")}).out, "");

  // Damaged or unknown mods are refused before anything is read from them.
  const Bytes good = read_bytes(mod);
  struct Damage {
    const char* what;
    std::size_t at;  // byte to change; SIZE_MAX cuts the file in half
    std::uint8_t value;
  } damages[] = {{"version 2", 4, 2},
                 {"a flag", 6, 1},
                 {"a payload byte", good.size() - 20, 0x5A},
                 {"cut in half", SIZE_MAX, 0},
                 {"not a mod", 0, 'X'}};
  for (const Damage& damage : damages) {
    Bytes bad = good;
    if (damage.at == SIZE_MAX) {
      bad.resize(bad.size() / 2);
    } else {
      bad[damage.at] = static_cast<std::uint8_t>(bad[damage.at] == damage.value ? damage.value + 1
                                                                                : damage.value);
    }
    write_bytes(pictures.file("bad.kmod"), bad);
    ModFile decoded;
    std::string error;
    EXPECT_FALSE(decode_mod(bad.data(), bad.size(), &decoded, &error)) << damage.what;
    EXPECT_NE(cli({"mod", "apply", other.file("a.idx"), pictures.file("bad.kmod")}).status, 0);
    EXPECT_TRUE(files_of(other) == before) << damage.what;
  }
}

}  // namespace
}  // namespace korvel::test
