// Rebuilding a G1T container with one texture replaced by a DDS file.
#include <gtest/gtest.h>

#include "tests/formats/g1t_harness.h"
#include "tools/forge/g1t_writer.h"

namespace korvel::test {
namespace {

using forge::ForgeG1t;
using forge::ForgeTexture;

ForgeTexture forge_texture(std::uint8_t format, std::uint8_t width_log2, std::uint8_t height_log2,
                           std::uint8_t levels, int extension) {
  ForgeTexture texture;
  texture.format = format;
  texture.width_log2 = width_log2;
  texture.height_log2 = height_log2;
  texture.mip_levels = levels;
  texture.extension = extension;
  texture.picture = forge::Picture::kChecker;
  texture.record_byte3 = 0x33;
  texture.record_tail[1] = 0x44;
  return texture;
}

// Every kind of texture, header bytes beyond the 20 and global data.
ForgeG1t mixed_container(bool magic_g1tg) {
  ForgeG1t g1t;
  g1t.magic_g1tg = magic_g1tg;
  g1t.header_extra = {1, 2, 3, 4, 5, 6, 7, 8};
  g1t.global_data = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  g1t.textures = {
      forge_texture(forge::kG1tDxt1, 5, 4, 3, 0), forge_texture(forge::kG1tArgb, 3, 2, 2, 1),
      forge_texture(forge::kG1tDxt5, 4, 4, 1, 3), forge_texture(forge::kG1tArgb0, 2, 3, 1, 0)};
  return g1t;
}

TEST(G1tRebuild, EmptyContainerIsItsHeader) {
  RawG1t g1t;
  g1t.header_extra = {9, 9, 9, 9};
  const Bytes payload = g1t.bytes();
  const G1tRun run = run_g1t(payload, false, texture_id(0), replacement_dds(4, 4, {}));
  EXPECT_EQ(run.result, 1);
  EXPECT_TRUE(run.ids.empty());
  EXPECT_EQ(run.rebuilt, payload);
  EXPECT_EQ(run.decoded_size, g1t.table_offset());
  EXPECT_EQ(run.stored_size, g1t.table_offset());
}

TEST(G1tRebuild, UnchangedWhenNothingMatches) {
  for (const bool big_endian : {false, true}) {
    for (const bool magic_g1tg : {false, true}) {
      const Bytes payload = forge::write_g1t(mixed_container(magic_g1tg), big_endian);
      const G1tRun run = run_g1t(payload, big_endian, "none", replacement_dds(4, 4, {}));
      EXPECT_EQ(run.ids.size(), 4u);
      EXPECT_FALSE(run.rebuild_failed);
      EXPECT_EQ(run.rebuilt, payload) << "be " << big_endian << " G1TG " << magic_g1tg;
      EXPECT_EQ(run.decoded_size, payload.size());
      EXPECT_EQ(run.stored_size, payload.size());
      EXPECT_GE(run.rebuilt_buffer_size, payload.size() + 256);
    }
  }
}

// Extracting a texture and putting the same DDS file back gives the container
// byte for byte, in every byte order and with either magic.
TEST(G1tRebuild, ExtractThenReplaceIsTheIdentity) {
  for (const bool big_endian : {false, true}) {
    for (const bool magic_g1tg : {false, true}) {
      const Bytes payload = forge::write_g1t(mixed_container(magic_g1tg), big_endian);
      for (int i = 0; i < 4; ++i) {
        const G1tRun extracted = run_g1t(payload, big_endian, texture_id(i));
        ASSERT_FALSE(extracted.image_untouched);
        const G1tRun run = run_g1t(payload, big_endian, texture_id(i), extracted.image);
        EXPECT_FALSE(run.rebuild_failed);
        EXPECT_EQ(run.rebuilt, payload)
            << "texture " << i << " be " << big_endian << " G1TG " << magic_g1tg;
      }
    }
  }
}

TEST(G1tRebuild, DimsByteFromTheReplacementHeader) {
  struct Case {
    std::uint32_t width, height;
    bool big_endian;
    std::uint8_t dims;
  } cases[] = {
      {256, 128, false, 0x78}, {256, 128, true, 0x87},
      {1, 1, false, 0x00},     {300, 100, false, 0x68},  // not powers of two: the next lower power
      {65535, 2, false, 0x1F}, {2, 65535, true, 0x1F},
  };
  for (const Case& c : cases) {
    RawG1t g1t;
    g1t.big_endian = c.big_endian;
    g1t.textures = {raw_texture(0x10, 6, 0x22, Bytes(8, 1))};
    const G1tRun run = run_g1t(g1t.bytes(), c.big_endian, texture_id(0),
                               replacement_dds(c.width, c.height, Bytes(8, 2)));
    ASSERT_FALSE(run.rebuild_failed);
    const std::size_t record = g1t.table_offset() + 4;
    EXPECT_EQ(run.rebuilt.at(record + 2), c.dims) << c.width << "x" << c.height;
    EXPECT_EQ(run.rebuilt.at(record + 0), 0x10) << "mip byte kept";
    EXPECT_EQ(run.rebuilt.at(record + 1), 6) << "format kept";
  }
}

// A replacement whose dims byte would be undefined refuses instead.
TEST(G1tRebuild, UnusableReplacementFails) {
  struct Case {
    const char* name;
    Bytes replacement;
  } cases[] = {
      {"empty file", {}},
      {"127 bytes", Bytes(127, 0)},
      {"width 0", replacement_dds(0, 4, Bytes(8, 0))},
      {"height 0", replacement_dds(4, 0, Bytes(8, 0))},
      {"width 65536", replacement_dds(65536, 4, Bytes(8, 0))},
      {"height 65536", replacement_dds(4, 65536, Bytes(8, 0))},
      {"height 2^31", replacement_dds(4, 0x80000000u, Bytes(8, 0))},
  };
  const Bytes payload = forge::write_g1t(mixed_container(true), false);
  for (const Case& c : cases) {
    const G1tRun run = run_g1t(payload, false, texture_id(2), c.replacement);
    EXPECT_EQ(run.result, 1) << c.name;
    EXPECT_TRUE(run.rebuild_failed) << c.name;
    EXPECT_EQ(run.rebuilt_buffer_size, 0u) << c.name;
    EXPECT_EQ(run.decoded_size, 0u) << c.name;
    EXPECT_EQ(run.stored_size, 0u) << c.name;
    EXPECT_EQ(run.ids.size(), 4u) << c.name;
    // Not the target: the replacement is never looked at.
    const G1tRun untouched = run_g1t(payload, false, "none", c.replacement);
    EXPECT_FALSE(untouched.rebuild_failed) << c.name;
    EXPECT_EQ(untouched.rebuilt, payload) << c.name;
  }
}

// A DDS whose pixels are stored another way than the slot's format code says
// would be read as garbage: the rebuild refuses it and says why.
TEST(G1tRebuild, ReplacementOfAnotherPixelFormatFails) {
  const ForgeG1t forged = mixed_container(true);
  const Bytes payload = forge::write_g1t(forged, false);
  struct Case {
    int target;
    std::uint8_t given_format;
    bool accepted;
  } cases[] = {
      {0, forge::kG1tDxt1, true},  {0, forge::kG1tDxt5, false}, {0, forge::kG1tArgb, false},
      {1, forge::kG1tArgb, true},  {1, forge::kG1tDxt1, false}, {2, forge::kG1tDxt5, true},
      {2, forge::kG1tDxt3, false}, {3, forge::kG1tArgb, true},
  };
  for (const Case& c : cases) {
    const G1tRun run = run_g1t(payload, false, texture_id(c.target),
                               replacement_dds(4, 4, Bytes(16, 1), c.given_format));
    EXPECT_EQ(run.rebuild_failed, !c.accepted) << c.target << " given " << int{c.given_format};
  }
}

// A texture whose format code we cannot decode could not be checked after a
// replacement: refused with a reason, and no console message.
TEST(G1tRebuild, TextureOfUnknownFormatIsNotReplaced) {
  RawG1t g1t;
  g1t.textures = {raw_texture(0x10, 3, 0x22, Bytes(16, 1))};
  int messages = 0;
  static int* counter = nullptr;
  counter = &messages;
  const ConsoleMessageHandler previous =
      set_console_message_handler([](const char*) { ++*counter; });
  const G1tRun run = run_g1t(g1t.bytes(), false, texture_id(0), replacement_dds(4, 4, Bytes(16, 2)));
  set_console_message_handler(previous);
  EXPECT_TRUE(run.rebuild_failed);
  EXPECT_EQ(messages, 0);
}

// A replacement of another size: the table, total_size and the textures after
// it follow, so every texture (the last one too) reads back whole.
TEST(G1tRebuild, ResizedTextureKeepsTheContainerConsistent) {
  for (const bool big_endian : {false, true}) {
    const ForgeG1t forged = mixed_container(true);
    const Bytes payload = forge::write_g1t(forged, big_endian);
    for (int target = 0; target < 4; ++target) {
      for (const std::size_t new_pixels : {std::size_t{0}, std::size_t{4}, std::size_t{4096}}) {
        const Bytes pixels = counting_bytes(new_pixels, 0x61);
        const G1tRun run =
            run_g1t(payload, big_endian, texture_id(target),
                    replacement_dds(64, 32, pixels, forged.textures[target].format));
        ASSERT_FALSE(run.rebuild_failed);
        const Bytes& rebuilt = run.rebuilt;
        std::uint32_t total_size = le32(rebuilt, 8);
        if (big_endian) total_size = __builtin_bswap32(total_size);
        EXPECT_EQ(total_size, rebuilt.size());
        // Header bytes and the global data are kept.
        EXPECT_EQ(Bytes(rebuilt.begin() + 20, rebuilt.begin() + 28), forged.header_extra);
        EXPECT_EQ(Bytes(rebuilt.begin() + 28 + 16, rebuilt.begin() + 28 + 32), forged.global_data);
        for (int i = 0; i < 4; ++i) {
          const G1tRun again = run_g1t(rebuilt, big_endian, texture_id(i));
          ASSERT_FALSE(again.image_untouched) << "texture " << i;
          if (i == target) {
            // A8R8G8B8 words are reversed on the way in and back on the way out.
            EXPECT_EQ(Bytes(again.image.begin() + 128, again.image.end()), pixels)
                << "target " << target << " size " << new_pixels << " be " << big_endian;
            EXPECT_EQ(le32(again.image, 12), 32u);
            EXPECT_EQ(le32(again.image, 16), 64u);
          } else {
            const G1tRun before = run_g1t(payload, big_endian, texture_id(i));
            EXPECT_EQ(again.image, before.image) << "texture " << i << " after " << target;
          }
        }
      }
    }
  }
}

TEST(G1tRebuild, BytesAfterTotalSizeAreDropped) {
  RawG1t g1t;
  g1t.textures = {raw_texture(0x10, 6, 0x00, Bytes(8, 1))};
  const Bytes intact = g1t.bytes();
  g1t.trailing = Bytes(16, 0xCC);  // padding of an enclosing container
  const G1tRun run = run_g1t(g1t.bytes(), false, "none", replacement_dds(4, 4, {}));
  EXPECT_EQ(run.rebuilt, intact);
}

}  // namespace
}  // namespace korvel::test
