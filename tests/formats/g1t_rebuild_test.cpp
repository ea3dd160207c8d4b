// Rebuilding a G1T container with one texture replaced by a DDS file.
#include <gtest/gtest.h>

#include <algorithm>

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

// How the slot's format lays out one level.
DdsLayout layout_of(std::uint8_t format_code) {
  return format_code == forge::kG1tDxt1   ? kLayoutDxt1
         : format_code == forge::kG1tDxt3 ? kLayoutDxt3
         : format_code == forge::kG1tDxt5 ? kLayoutDxt5
                                          : kLayoutA8R8G8B8;
}

TEST(G1tRebuild, DimsByteFromTheReplacementHeader) {
  struct Case {
    std::uint32_t width, height;
    bool big_endian;
    std::uint8_t dims;
  } cases[] = {
      {256, 128, false, 0x78}, {256, 128, true, 0x87}, {1, 1, false, 0x00},
      {32768, 2, false, 0x1F}, {2, 32768, true, 0x1F},
  };
  for (const Case& c : cases) {
    RawG1t g1t;
    g1t.big_endian = c.big_endian;
    g1t.textures = {raw_texture(c.big_endian ? 0x01 : 0x10, 6, 0x22, Bytes(8, 1))};
    const Bytes pixels(kLayoutDxt1.level_size(c.width, c.height), 2);
    const G1tRun run = run_g1t(g1t.bytes(), c.big_endian, texture_id(0),
                               replacement_dds(c.width, c.height, pixels));
    ASSERT_FALSE(run.rebuild_failed);
    const std::size_t record = g1t.table_offset() + 4;
    EXPECT_EQ(run.rebuilt.at(record + 2), c.dims) << c.width << "x" << c.height;
    EXPECT_EQ(run.rebuilt.at(record + 0), c.big_endian ? 0x01 : 0x10) << "one level";
    EXPECT_EQ(run.rebuilt.at(record + 1), 6) << "format kept";
  }
}

// The record's mip count comes from the levels the replacement declares, and
// bytes after its last level are not stored.
TEST(G1tRebuild, MipCountFromTheReplacementAndNothingAfterItsLastLevel) {
  for (const bool big_endian : {false, true}) {
    const Bytes payload =
        forge::write_g1t(mixed_container(true), big_endian);  // 0: 32x16, 3 levels
    for (const std::uint32_t levels : {1u, 2u, 6u}) {
      std::uint64_t held = 0;
      for (std::uint32_t i = 0; i < levels; ++i) {
        held += kLayoutDxt1.level_size(32 >> i, std::max(16u >> i, 1u));
      }
      Bytes dds = replacement_dds(32, 16, counting_bytes(held + 16, 0x21));
      RawG1t::patch(dds, 28, levels, false);
      const G1tRun run = run_g1t(payload, big_endian, texture_id(0), dds);
      ASSERT_FALSE(run.rebuild_failed) << levels;
      const G1tRun again = run_g1t(run.rebuilt, big_endian, texture_id(0));
      EXPECT_EQ(le32(again.image, 28), levels) << levels << " be " << big_endian;
      EXPECT_EQ(again.image.size(), 128 + held) << levels;
    }
  }
}

// A replacement whose dims byte would be undefined, or whose data do not hold
// what its header declares in the slot's layout, refuses instead.
TEST(G1tRebuild, UnusableReplacementFails) {
  const auto with_field = [](Bytes dds, std::size_t offset, std::uint32_t value) {
    RawG1t::patch(dds, offset, value, false);
    return dds;
  };
  const std::uint8_t kDxt5 = forge::kG1tDxt5, kArgb = forge::kG1tArgb;
  struct Case {
    const char* name;
    int target;  // 1: A8R8G8B8 8x4; 2: DXT5 16x16
    Bytes replacement;
  } cases[] = {
      {"empty file", 2, {}},
      {"127 bytes", 2, Bytes(127, 0)},
      {"width 0", 2, replacement_dds(0, 4, Bytes(16, 0), kDxt5)},
      {"height 0", 2, replacement_dds(4, 0, Bytes(16, 0), kDxt5)},
      {"width 65536", 2, replacement_dds(65536, 4, Bytes(16, 0), kDxt5)},
      {"height 65536", 2, replacement_dds(4, 65536, Bytes(16, 0), kDxt5)},
      {"height 2^31", 2, replacement_dds(4, 0x80000000u, Bytes(16, 0), kDxt5)},
      {"not a power of two", 2, replacement_dds(12, 16, Bytes(4096, 0), kDxt5)},
      {"header alone", 2, replacement_dds(16, 16, {}, kDxt5)},
      {"16 bytes under 256x256", 2, replacement_dds(256, 256, Bytes(16, 0), kDxt5)},
      {"32768x32768 over 64 bytes", 2, replacement_dds(32768, 32768, Bytes(64, 0), kDxt5)},
      {"5 levels declared, 1 held", 2,
       with_field(replacement_dds(16, 16, Bytes(256, 0), kDxt5), 28, 5)},
      {"6 levels of 16x16", 2, with_field(replacement_dds(16, 16, Bytes(4096, 0), kDxt5), 28, 6)},
      {"24-bit pixels under a 32-bit header", 1, replacement_dds(8, 4, Bytes(8 * 4 * 3, 0), kArgb)},
      {"A8B8G8R8 masks", 1,
       with_field(with_field(replacement_dds(8, 4, Bytes(128, 0), kArgb), 92, 0xFF), 100,
                  0xFF0000)},
  };
  const Bytes payload = forge::write_g1t(mixed_container(true), false);
  for (const Case& c : cases) {
    const G1tRun run = run_g1t(payload, false, texture_id(c.target), c.replacement);
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
                               replacement_dds(4, 4, Bytes(64, 1), c.given_format));
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
  const G1tRun run =
      run_g1t(g1t.bytes(), false, texture_id(0), replacement_dds(4, 4, Bytes(16, 2)));
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
      const DdsLayout layout = layout_of(forged.textures[target].format);
      for (const std::uint32_t levels : {1u, 2u}) {
        const std::size_t new_pixels =
            layout.level_size(64, 32) + (levels == 2 ? layout.level_size(32, 16) : 0);
        const Bytes pixels = counting_bytes(new_pixels, 0x61);
        Bytes dds = replacement_dds(64, 32, pixels, forged.textures[target].format);
        RawG1t::patch(dds, 28, levels, false);
        const G1tRun run = run_g1t(payload, big_endian, texture_id(target), dds);
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
