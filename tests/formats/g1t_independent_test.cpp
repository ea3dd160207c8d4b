// G1T containers written by the independent Python writer: our listing and
// extraction must agree with its reading of the format (output ids, and the
// exact DDS file of every texture).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {
namespace {

// Entry 0: every format, both extension styles, global data, header bytes;
// entry 1: a text payload; entry 2: the other magic, cut mip chains and
// counts beyond the data (as big-endian files have them).
std::string description(bool big_endian) {
  const std::string order = big_endian ? "true" : "false";
  return R"({"name": "indep", "big_endian": )" + order + R"(, "entries": [
    {"payload": {"g1t": {"magic": "G1TG", "header_extra": "0000000a00000000",
      "global_data": "000000010000000000000000000000000000000000000000",
      "textures": [
        {"format": 6, "width": 64, "height": 32, "levels": 7, "expect": "e0_t0"},
        {"format": 8, "width": 16, "height": 16, "levels": 3, "extension": 1, "expect": "e0_t1"},
        {"format": 7, "width": 8, "height": 128, "levels": 1, "extension": 3, "expect": "e0_t2"},
        {"format": 1, "width": 8, "height": 4, "levels": 4, "expect": "e0_t3"},
        {"format": 0, "width": 4, "height": 4, "levels": 1, "extension": 2, "pixel_bytes": 66,
         "expect": "e0_t4"},
        {"format": 6, "width": 4, "height": 4, "levels": 3, "extension": 4, "expect": "e0_t5"}]}}},
    {"payload": {"text": "not a texture container"}},
    {"payload": {"g1t": {"magic": "GT1G", "textures": [
        {"format": 1, "width": 16, "height": 8, "levels": 2, "expect": "e2_t0"},
        {"format": 8, "width": 32, "height": 32, "levels": 2, "mip_byte": 1, "expect": "e2_t1"},
        {"format": 6, "width": 32, "height": 32, "levels": 6, "mip_byte": 7, "expect": "e2_t2"},
        {"format": 6, "width": 32, "height": 32, "levels": 2, "mip_byte": 144,
         "pixel_bytes": 700, "expect": "e2_t3"}]}}}
  ]})";
}

struct Expected {
  std::string id;
  std::string file;
};
const Expected kExpected[] = {
    {".\\00000000\\0.dds", "e0_t0"}, {".\\00000000\\1.dds", "e0_t1"},
    {".\\00000000\\2.dds", "e0_t2"}, {".\\00000000\\3.dds", "e0_t3"},
    {".\\00000000\\4.dds", "e0_t4"}, {".\\00000000\\5.dds", "e0_t5"},
    {".\\00000002\\0.dds", "e2_t0"}, {".\\00000002\\1.dds", "e2_t1"},
    {".\\00000002\\2.dds", "e2_t2"}, {".\\00000002\\3.dds", "e2_t3"},
};

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> listed_ids(Archive& archive, const char* entry_key) {
  ContentTree tree;
  archive.load_entry_into(tree, entry_key);
  std::vector<std::string> ids;
  const ContentNode* root = tree.first_node();
  for (const ContentNode* entry = root->first_node(); entry; entry = entry->next_sibling()) {
    for (const ContentNode* node = entry->first_node(); node; node = node->next_sibling()) {
      if (node->first_attribute(vocab::kOutputId))
        ids.push_back(attribute_value(node, vocab::kOutputId));
    }
  }
  return ids;
}

TEST(G1tIndependent, ListingAndExtractionAgreeWithTheIndependentWriter) {
  for (const bool big_endian : {false, true}) {
    TempDir directory;
    write_independent_archive(directory.path(), description(big_endian));
    Archive archive;
    ASSERT_EQ(archive.open(directory.file("indep.idx").c_str()), 1) << archive.error;
    ASSERT_EQ(archive.big_endian, big_endian ? 1 : 0);

    std::vector<std::string> entry0, entry2;
    for (const Expected& expected : kExpected) {
      (expected.id[9] == '0' ? entry0 : entry2).push_back(expected.id);
    }
    EXPECT_EQ(listed_ids(archive, "0"), entry0);
    EXPECT_EQ(listed_ids(archive, "2"), entry2);

    for (const Expected& expected : kExpected) {
      const Bytes dds = read_bytes(directory.file("expected/" + expected.file + ".dds"));
      ASSERT_FALSE(dds.empty()) << expected.file;
      ASSERT_EQ(archive.load_entry(expected.id.c_str()), 1) << expected.id << ": " << archive.error;
      EXPECT_EQ(Bytes(archive.image.begin(), archive.image.begin() + archive.image_size), dds)
          << expected.id << (big_endian ? " big-endian" : " little-endian");
    }
    archive.release();
  }
}

}  // namespace
}  // namespace korvel::test
