// Recognition, listing and extraction of G1T containers.
#include <gtest/gtest.h>

#include "tests/formats/g1t_harness.h"

namespace korvel::test {
namespace {

Bytes container_head(const std::string& magic, const std::string& version) {
  Bytes bytes(magic.begin(), magic.end());
  bytes.insert(bytes.end(), version.begin(), version.end());
  return bytes;
}

TEST(G1tRecognition, MagicVersionAndByteOrder) {
  const Bytes empty_tail = {20, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0};
  const Bytes empty_tail_be = {0, 0, 0, 20, 0, 0, 0, 20, 0, 0, 0, 0};
  auto with = [](Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  struct Case {
    const char* name;
    Bytes payload;
    bool big_endian;
    int result;
  } cases[] = {
      {"G1TG little-endian", with(container_head("G1TG", "0600"), empty_tail), false, 1},
      {"GT1G little-endian", with(container_head("GT1G", "0600"), empty_tail), false, 1},
      {"G1TG big-endian", with(container_head("G1TG", "0060"), empty_tail_be), true, 1},
      {"GT1G big-endian", with(container_head("GT1G", "0060"), empty_tail_be), true, 1},
      {"other magic", with(container_head("G1TX", "0600"), empty_tail), false, 0},
      {"lower-case magic", with(container_head("g1tg", "0600"), empty_tail), false, 0},
      {"other version", with(container_head("G1TG", "0601"), empty_tail), false, 0},
      {"little-endian version in a big-endian archive",
       with(container_head("G1TG", "0600"), empty_tail_be), true, 0},
      {"big-endian version in a little-endian archive",
       with(container_head("G1TG", "0060"), empty_tail), false, 0},
      {"magic alone", container_head("G1TG", ""), false, 0},
      {"version cut short", container_head("G1TG", "060"), false, 0},
      {"header cut short: still a G1T, nothing listed", container_head("G1TG", "0600"), false, 1},
      {"empty payload", {}, false, 0},
  };
  for (const Case& c : cases) {
    const G1tRun run = run_g1t(c.payload, c.big_endian, texture_id(0));
    EXPECT_EQ(run.result, c.result) << c.name;
    EXPECT_TRUE(run.ids.empty()) << c.name;
    EXPECT_TRUE(run.image_untouched) << c.name;
    EXPECT_TRUE(run.messages.empty()) << c.name;
  }
}

TEST(G1tRecognition, NullParentIsDeclined) {
  Archive archive;
  const Bytes payload = RawG1t{}.bytes();
  const ByteBuffer buffer =
      make_payload_buffer(payload.data(), static_cast<std::uint32_t>(payload.size()));
  EXPECT_EQ(archive.decode_g1t(nullptr, buffer.data(), static_cast<std::uint32_t>(payload.size()),
                               nullptr, nullptr, nullptr),
            0);
}

RawG1t three_textures(bool big_endian) {
  RawG1t g1t;
  g1t.big_endian = big_endian;
  g1t.textures = {raw_texture(0x10, 6, 0x22, counting_bytes(8, 0x10)),
                  raw_texture(0x10, 8, 0x22, counting_bytes(16, 0x20)),
                  raw_texture(0x10, 7, 0x22, counting_bytes(16, 0x30))};
  return g1t;
}

TEST(G1tListing, NodesOutputIdsAndEarlyStop) {
  struct Case {
    const char* name;
    std::string key;
    std::size_t nodes;
    int extracted;  // -1: image unchanged
  } cases[] = {
      {"no texture matches: all nodes, image unchanged", ".\\00000012\\3.dds", 3, -1},
      {"first texture: one node", texture_id(0), 1, 0},
      {"second of three: nodes for the first two only", texture_id(1), 2, 1},
      {"last texture", texture_id(2), 3, 2},
      {"letter case is ignored", ".\\00000012\\1.DDS", 2, 1},
      {"a prefix of an id is not the id", ".\\00000012\\1", 3, -1},
      {"the entry's own key matches no texture", "12", 3, -1},
  };
  for (const bool big_endian : {false, true}) {
    const Bytes payload = three_textures(big_endian).bytes();
    for (const Case& c : cases) {
      const G1tRun run = run_g1t(payload, big_endian, c.key);
      ASSERT_EQ(run.result, 1) << c.name;
      ASSERT_EQ(run.ids.size(), c.nodes) << c.name;
      for (std::size_t i = 0; i < run.ids.size(); ++i) {
        EXPECT_EQ(run.ids[i], texture_id(static_cast<int>(i))) << c.name;
      }
      if (c.extracted < 0) {
        EXPECT_TRUE(run.image_untouched) << c.name;
      } else {
        ASSERT_FALSE(run.image_untouched) << c.name;
        const Bytes expected_pixels = counting_bytes(
            c.extracted == 0 ? 8 : 16, static_cast<std::uint8_t>(0x10 * (c.extracted + 1)));
        EXPECT_EQ(Bytes(run.image.begin() + 128, run.image.end()), expected_pixels) << c.name;
      }
    }
  }
}

TEST(G1tListing, NodeAttributesInOrder) {
  Archive archive;
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  ContentNode* entry = append_element(root, "idx_No.00000012");
  append_attribute(entry, vocab::kNumber, "00000012");
  ContentNode* chunk = append_element(entry, vocab::kZlib);
  append_attribute(chunk, vocab::kNumber, "0");
  const Bytes payload = three_textures(false).bytes();
  const ByteBuffer buffer =
      make_payload_buffer(payload.data(), static_cast<std::uint32_t>(payload.size()));
  ASSERT_EQ(archive.decode_g1t(chunk, buffer.data(), static_cast<std::uint32_t>(payload.size()),
                               nullptr, nullptr, nullptr),
            1);
  const ContentNode* third = chunk->last_node();
  ASSERT_NE(third, nullptr);
  EXPECT_STREQ(third->name(), "G1TG");
  const char* expected[][2] = {
      {"number", "2"}, {"output_id", ".\\00000012\\0\\2.dds"}, {"content", "g1tg.html"}};
  const auto* attribute = third->first_attribute();
  for (const auto& pair : expected) {
    ASSERT_NE(attribute, nullptr);
    EXPECT_STREQ(attribute->name(), pair[0]);
    EXPECT_STREQ(attribute->value(), pair[1]);
    attribute = attribute->next_attribute();
  }
  EXPECT_EQ(attribute, nullptr);
}

Bytes extract_one(const Bytes& texture, bool big_endian, bool magic_g1tg = true) {
  RawG1t g1t;
  g1t.big_endian = big_endian;
  g1t.magic_g1tg = magic_g1tg;
  g1t.textures = {texture};
  const G1tRun run = run_g1t(g1t.bytes(), big_endian, texture_id(0));
  EXPECT_EQ(run.result, 1);
  return run.image_untouched ? Bytes{} : run.image;
}

TEST(G1tExtraction, DimsNibblesFollowTheByteOrder) {
  struct Case {
    std::uint8_t dims;
    bool big_endian;
    std::uint32_t height, width;
  } cases[] = {
      {0xA9, false, 1024, 512}, {0xA9, true, 512, 1024}, {0x00, false, 1, 1},
      {0xF0, false, 32768, 1},  {0xF0, true, 1, 32768},  {0x78, false, 128, 256},
  };
  for (const Case& c : cases) {
    const Bytes dds = extract_one(raw_texture(0x10, 6, c.dims, counting_bytes(8)), c.big_endian);
    ASSERT_EQ(dds.size(), 128u + 8);
    EXPECT_EQ(le32(dds, 12), c.height) << std::hex << int{c.dims} << " be " << c.big_endian;
    EXPECT_EQ(le32(dds, 16), c.width) << std::hex << int{c.dims} << " be " << c.big_endian;
  }
}

// The mip count is the mip byte with its nibbles exchanged, unless the pixel
// data hold fewer whole levels than that.
TEST(G1tExtraction, MipCountNeverExceedsTheLevelsHeld) {
  constexpr std::size_t kDxt1Chain256 = 32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 8 + 8;
  struct Case {
    const char* name;
    std::uint8_t mip_byte, format, dims;
    std::size_t pixel_bytes;
    std::uint32_t expected;
  } cases[] = {
      {"0x90 with nine levels held gives 9", 0x90, 6, 0x88, kDxt1Chain256, 9},
      {"0x10: one level", 0x10, 6, 0x88, 32768, 1},
      {"big-endian style 0x01 (16) with one level held", 0x01, 6, 0x88, 32768, 1},
      {"big-endian style 0x07 (112) with seven levels held", 0x07, 6, 0x88,
       32768 + 8192 + 2048 + 512 + 128 + 32 + 8, 7},
      {"0xA0 (10) beyond the full chain of 9", 0xA0, 6, 0x88, kDxt1Chain256 + 64, 9},
      {"0x00 stays 0", 0x00, 6, 0x88, 32768, 0},
      {"0x30 with two and a half levels held", 0x30, 6, 0x88, 32768 + 8192 + 1024, 2},
      {"data shorter than the first level", 0x10, 6, 0x88, 100, 0},
      {"DXT5 blocks are 16 bytes", 0x30, 8, 0x22, 16 + 16 + 16, 3},
      {"DXT3 with the first level only", 0x30, 7, 0x22, 16 + 15, 1},
      {"A8R8G8B8 4x4, three levels", 0x30, 1, 0x22, 64 + 16 + 4, 3},
      {"A8R8G8B8 1x1: 0xA1 (26) holds one", 0xA1, 0, 0x00, 4, 1},
      {"DXT1 8x1: blocks of 16, 8, 8, 8 bytes", 0x40, 6, 0x03, 16 + 8 + 8 + 8, 4},
      {"DXT1 8x1 one byte short of four levels", 0x40, 6, 0x03, 16 + 8 + 8 + 7, 3},
  };
  for (const Case& c : cases) {
    const Bytes dds =
        extract_one(raw_texture(c.mip_byte, c.format, c.dims, Bytes(c.pixel_bytes, 0x5A)), false);
    ASSERT_EQ(dds.size(), 128 + c.pixel_bytes) << c.name;
    EXPECT_EQ(le32(dds, 28), c.expected) << c.name;
  }
}

TEST(G1tExtraction, UncompressedWordsAreReversedOnlyInBigEndianG1tg) {
  const Bytes stored = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
  const Bytes reversed = {0x04, 0x03, 0x02, 0x01, 0x08, 0x07, 0x06, 0x05, 0x09, 0x0A};
  struct Case {
    std::uint8_t format;
    bool magic_g1tg, big_endian;
    const Bytes& pixels;
  } cases[] = {
      {1, false, false, stored}, {1, true, false, stored},  {1, false, true, stored},
      {1, true, true, reversed}, {0, true, true, reversed}, {0, false, true, stored},
      {6, true, true, stored},   {8, true, true, stored},
  };
  for (const Case& c : cases) {
    const Bytes dds =
        extract_one(raw_texture(0x10, c.format, 0x00, stored), c.big_endian, c.magic_g1tg);
    ASSERT_EQ(dds.size(), 128 + stored.size());
    EXPECT_EQ(Bytes(dds.begin() + 128, dds.end()), c.pixels)
        << "format " << int{c.format} << " G1TG " << c.magic_g1tg << " be " << c.big_endian;
  }
}

TEST(G1tExtraction, ExtensionPatterns) {
  const Bytes after = counting_bytes(24, 0x40);
  struct Case {
    const char* name;
    Bytes twelve;
    bool present;
  } cases[] = {
      {"pattern 1", {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, true},
      {"pattern 2", {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
      {"pattern 3", {0, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0, 1}, true},
      {"pattern 4", {0, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0}, true},
      {"last byte 2", {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}, false},
      {"size 0x0D", {0x0D, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, false},
      {"a middle byte set", {0x0C, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, false},
      {"size in both places", {0x0C, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0, 1}, false},
  };
  for (const Case& c : cases) {
    Bytes rest = c.twelve;
    rest.insert(rest.end(), after.begin(), after.end());
    const Bytes dds = extract_one(raw_texture(0x10, 8, 0x22, rest), false);
    const Bytes expected_pixels = c.present ? after : rest;
    ASSERT_EQ(dds.size(), 128 + expected_pixels.size()) << c.name;
    EXPECT_EQ(Bytes(dds.begin() + 128, dds.end()), expected_pixels) << c.name;
  }
}

TEST(G1tExtraction, ExtensionMustLieInsideTheTexture) {
  const Bytes pattern = {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  // Exactly the pattern: present, no pixel bytes.
  EXPECT_EQ(extract_one(raw_texture(0x10, 8, 0x22, pattern), false).size(), 128u);
  // The texture ends one byte into the pattern: those 11 bytes are pixels.
  const Bytes cut(pattern.begin(), pattern.end() - 1);
  RawG1t g1t;
  g1t.textures = {raw_texture(0x10, 8, 0x22, cut), raw_texture(0x10, 8, 0x22, {1})};
  const G1tRun run = run_g1t(g1t.bytes(), false, texture_id(0));
  ASSERT_EQ(run.image.size(), 128u + 11);
  EXPECT_EQ(Bytes(run.image.begin() + 128, run.image.end()), cut);
}

TEST(G1tExtraction, UnknownFormatIsReportedAndListingGoesOn) {
  for (const int format : {2, 3, 4, 5, 9, 0x10, 0xFF}) {
    RawG1t g1t;
    g1t.textures = {raw_texture(0x10, 6, 0x22, Bytes(8, 1)),
                    raw_texture(0x10, static_cast<std::uint8_t>(format), 0x22, Bytes(8, 2)),
                    raw_texture(0x10, 6, 0x22, Bytes(8, 3))};
    const G1tRun run = run_g1t(g1t.bytes(), false, texture_id(1));
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.ids.size(), 3u) << format;
    EXPECT_TRUE(run.image_untouched) << format;
    ASSERT_EQ(run.messages.size(), 1u);
    EXPECT_EQ(run.messages[0], "pause | 隐患警告：未知的图片格式标记！");
  }
}

TEST(G1tExtraction, ImageHasFourZeroBytesBeyondItsSize) {
  Archive archive;
  archive.requested_key = texture_id(0);
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  ContentNode* entry = append_element(root, "idx_No.00000012");
  append_attribute(entry, vocab::kNumber, "00000012");
  RawG1t g1t;
  g1t.textures = {raw_texture(0x10, 6, 0x00, Bytes(8, 0xFF))};
  const Bytes payload = g1t.bytes();
  const ByteBuffer buffer =
      make_payload_buffer(payload.data(), static_cast<std::uint32_t>(payload.size()));
  archive.decode_g1t(entry, buffer.data(), static_cast<std::uint32_t>(payload.size()), nullptr,
                     nullptr, nullptr);
  ASSERT_EQ(archive.image_size, 136u);
  ASSERT_EQ(archive.image.size(), 140u);
  EXPECT_EQ(Bytes(archive.image.begin() + 136, archive.image.end()), Bytes(4, 0));
}

}  // namespace
}  // namespace korvel::test
