// DDS -> RGBA of the first level, against decoders that are not ours: the
// reference PNGs that came with Pillow's DDS test files, and Pillow itself.
#include <gtest/gtest.h>

#include <squish.h>

#include <cstring>
#include <string>

#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_encode.h"
#include "tests/platform/d3d9/image_oracles.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using d3d9::ImageStatus;
using d3d9::RgbaImage;

const std::string kPillowDir = std::string(KORVEL_SHARED_TESTDATA) + "/dds/pillow/";

void put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > bytes.size()) return;
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct PixelFormat {
  std::uint32_t flags;
  const char* four_cc;
  std::uint32_t bits, red, green, blue, alpha;
};
constexpr PixelFormat kDxt1{0x4, "DXT1", 0, 0, 0, 0, 0};
constexpr PixelFormat kDxt3{0x4, "DXT3", 0, 0, 0, 0, 0};
constexpr PixelFormat kDxt5{0x4, "DXT5", 0, 0, 0, 0, 0};
constexpr PixelFormat kArgb{0x41, "\0\0\0", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};

// A DDS file written field by field, as other tools write them.
Bytes dds_file(std::uint32_t width, std::uint32_t height, const PixelFormat& format,
               const Bytes& pixels) {
  Bytes file(128, 0);
  put32(file, 0, 0x20534444);
  put32(file, 4, 124);
  put32(file, 8, 0x1007);
  put32(file, 12, height);
  put32(file, 16, width);
  put32(file, 76, 32);
  put32(file, 80, format.flags);
  for (int i = 0; i < 4; ++i) file[84 + i] = static_cast<std::uint8_t>(format.four_cc[i]);
  put32(file, 88, format.bits);
  put32(file, 92, format.red);
  put32(file, 96, format.green);
  put32(file, 100, format.blue);
  put32(file, 104, format.alpha);
  put32(file, 108, 0x1000);
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

Bytes noise(std::size_t count, std::uint32_t seed) {
  Bytes bytes(count);
  for (std::uint8_t& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

TEST(DdsDecode, PillowFilesMatchTheirReferencePngs) {
  struct Case {
    const char* name;
    int channels;  // the DXT1 reference has no alpha channel
  } cases[] = {
      {"dxt1-rgb-4bbp-noalpha_MipMaps-1", 3},
      {"dxt3-argb-8bbp-explicitalpha_MipMaps-1", 4},
      {"dxt5-argb-8bbp-interpolatedalpha_MipMaps-1", 4},
  };
  for (const Case& c : cases) {
    const Bytes dds = read_bytes(kPillowDir + c.name + ".dds");
    ASSERT_FALSE(dds.empty()) << c.name;
    RgbaImage ours, reference;
    ASSERT_TRUE(d3d9::decode_dds_first_level(dds.data(), dds.size(), &ours).ok()) << c.name;
    ASSERT_TRUE(read_png_rgba(read_bytes(kPillowDir + c.name + ".png"), &reference)) << c.name;
    EXPECT_EQ(ours.width, 256u);
    EXPECT_LE(largest_difference(ours, reference, c.channels), 1) << c.name;
  }
}

TEST(DdsDecode, AgreesWithPillow) {
  TempDir scratch;
  // Images Pillow and we both read: its own colour-block case, and files of
  // our making in every layout, odd sizes included.
  auto compressed = [](std::uint32_t width, std::uint32_t height, int flags) {
    RgbaImage source;
    source.pixels = noise(std::size_t{width} * height * 4, width * 31 + height);
    Bytes blocks(static_cast<std::size_t>(
        squish::GetStorageRequirements(static_cast<int>(width), static_cast<int>(height), flags)));
    squish::CompressImage(source.pixels.data(), static_cast<int>(width), static_cast<int>(height),
                          blocks.data(), flags);
    return blocks;
  };
  struct Case {
    std::string name;
    Bytes file;
    int tolerance;
  } cases[] = {
      {"pillow colour block", read_bytes(kPillowDir + "dxt5-colorblock-alpha-issue-4142.dds"), 1},
      {"DXT1 64x32", dds_file(64, 32, kDxt1, compressed(64, 32, squish::kDxt1)), 1},
      {"DXT3 12x8", dds_file(12, 8, kDxt3, compressed(12, 8, squish::kDxt3)), 1},
      {"DXT5 16x4", dds_file(16, 4, kDxt5, compressed(16, 4, squish::kDxt5)), 1},
      {"DXT1 with transparent texels",
       dds_file(8, 8, kDxt1,
                [] {
                  // Colour 0 <= colour 1 selects the three-colour mode; index 3 is transparent.
                  Bytes blocks;
                  for (int i = 0; i < 4; ++i) {
                    const Bytes block = {0x00, 0x10, 0xFF, 0xFF, 0x1B, 0xE4, 0xFF, 0x00};
                    blocks.insert(blocks.end(), block.begin(), block.end());
                  }
                  return blocks;
                }()),
       1},
      {"A8R8G8B8 5x3", dds_file(5, 3, kArgb, noise(5 * 3 * 4, 9)), 0},
      {"A8B8G8R8 4x2",
       dds_file(4, 2, {0x41, "\0\0\0", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, noise(32, 6)), 0},
      {"R8G8B8 3x3", dds_file(3, 3, {0x40, "\0\0\0", 24, 0xFF0000, 0xFF00, 0xFF, 0}, noise(27, 7)),
       0},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.file.empty()) << c.name;
    RgbaImage ours, pillow;
    const d3d9::ImageResult result =
        d3d9::decode_dds_first_level(c.file.data(), c.file.size(), &ours);
    ASSERT_TRUE(result.ok()) << c.name << ": " << result.message;
    const std::string path = scratch.file("case.dds");
    write_bytes(path, c.file);
    ASSERT_TRUE(read_with_pillow(path, &pillow)) << c.name;
    EXPECT_LE(largest_difference(ours, pillow, 4), c.tolerance) << c.name;
  }
}

TEST(DdsDecode, LargeTexturesDecodeAsOneCallWould) {
  // Large textures are cut into bands for the cores; the pixels must be those
  // of one decode of the whole level by libsquish, odd sides included.
  const struct {
    std::uint32_t width, height;
    int flags;
    PixelFormat format;
  } cases[] = {{1030, 1022, squish::kDxt5, kDxt5},
               {2048, 600, squish::kDxt1, kDxt1},
               {1024, 1024, squish::kDxt3, kDxt3},
               // Small and cut blocks, decoded without bands.
               {1, 1, squish::kDxt1, kDxt1},
               {6, 3, squish::kDxt5, kDxt5},
               {5, 9, squish::kDxt3, kDxt3}};
  for (const auto& c : cases) {
    const int width = static_cast<int>(c.width), height = static_cast<int>(c.height);
    const Bytes blocks = noise(
        static_cast<std::size_t>(squish::GetStorageRequirements(width, height, c.flags)), c.width);
    const Bytes file = dds_file(c.width, c.height, c.format, blocks);
    RgbaImage ours;
    ASSERT_TRUE(d3d9::decode_dds_first_level(file.data(), file.size(), &ours).ok());
    Bytes whole(std::size_t{c.width} * c.height * 4);
    squish::DecompressImage(whole.data(), width, height, blocks.data(), c.flags);
    EXPECT_TRUE(ours.pixels == whole) << c.width << "x" << c.height;
  }
  // Uncompressed rows in bands: A8R8G8B8 words are B, G, R, A in memory.
  const Bytes argb = noise(std::size_t{1500} * 700 * 4, 3);
  const Bytes file = dds_file(1500, 700, kArgb, argb);
  RgbaImage ours;
  ASSERT_TRUE(d3d9::decode_dds_first_level(file.data(), file.size(), &ours).ok());
  Bytes expected(argb.size());
  for (std::size_t i = 0; i < argb.size(); i += 4) {
    expected[i] = argb[i + 2], expected[i + 1] = argb[i + 1];
    expected[i + 2] = argb[i], expected[i + 3] = argb[i + 3];
  }
  EXPECT_TRUE(ours.pixels == expected);
}

// Blocks whose pixels are opaque inside the image and transparent only past
// its right and bottom edges, or, with one_inside, also at the last pixel
// inside: by alpha index 6 of 255/255 end values (DXT5), a zero nibble
// (DXT3), or the transparent black of a three-colour block (DXT1).
Bytes edge_transparent_blocks(std::uint32_t width, std::uint32_t height, d3d9::DxtKind kind,
                              bool one_inside) {
  const std::uint32_t across = (width + 3) / 4, down = (height + 3) / 4;
  const std::size_t block_bytes = kind == d3d9::DxtKind::kDxt1 ? 8 : 16;
  Bytes blocks = noise(across * down * block_bytes, width + height);
  for (std::uint32_t by = 0; by < down; ++by) {
    for (std::uint32_t bx = 0; bx < across; ++bx) {
      std::uint8_t* block = &blocks[(std::size_t{by} * across + bx) * block_bytes];
      std::uint8_t* colour = kind == d3d9::DxtKind::kDxt1 ? block : block + 8;
      if (kind == d3d9::DxtKind::kDxt1) colour[0] = 0, colour[1] = 0;  // three colours
      if (kind == d3d9::DxtKind::kDxt5) block[0] = 255, block[1] = 255;
      std::uint64_t alpha_bits = 0;
      for (int i = 0; i < 16; ++i) {
        const std::uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
        const bool clear =
            x >= width || y >= height || (one_inside && x == width - 1 && y == height - 1);
        const unsigned index = (colour[4 + i / 4] >> (2 * (i % 4))) & 3;
        if (kind == d3d9::DxtKind::kDxt1) {
          const unsigned wanted = clear ? 3 : index % 3;
          colour[4 + i / 4] = static_cast<std::uint8_t>(
              (colour[4 + i / 4] & ~(3u << (2 * (i % 4)))) | wanted << (2 * (i % 4)));
        } else if (kind == d3d9::DxtKind::kDxt3) {
          const unsigned shift = 4 * (i % 2);
          block[i / 2] = static_cast<std::uint8_t>((block[i / 2] & ~(0xFu << shift)) |
                                                   (clear ? 0u : 0xFu) << shift);
        } else {
          const std::uint64_t code = clear ? 6 : (index == 3 ? 7 : index);
          alpha_bits |= code << (3 * i);
        }
      }
      if (kind == d3d9::DxtKind::kDxt5) {
        for (int i = 0; i < 6; ++i) block[2 + i] = static_cast<std::uint8_t>(alpha_bits >> (8 * i));
      }
    }
  }
  return blocks;
}

TEST(DdsDecode, TheTexturePagePngHoldsTheDecodedLevel) {
  // The texture page's PNG is written as the level decodes, in bands; it must
  // hold exactly the decoded pixels, as RGB exactly when all are opaque.
  const PixelFormat kXrgb{0x40, "\0\0\0", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
  const struct {
    const char* name;
    std::uint32_t width, height;
    PixelFormat format;
    Bytes pixels;
  } cases[] = {
      {"DXT5 noise, bands", 1030, 1022, kDxt5, noise(258 * 256 * 16, 1)},
      {"DXT1 noise, bands", 2048, 600, kDxt1, noise(512 * 150 * 8, 2)},
      {"DXT3 noise", 5, 9, kDxt3, noise(2 * 3 * 16, 3)},
      {"DXT5 clear past the edges, bands", 1030, 1022, kDxt5,
       edge_transparent_blocks(1030, 1022, d3d9::DxtKind::kDxt5, false)},
      {"DXT5 and one clear pixel", 6, 5, kDxt5,
       edge_transparent_blocks(6, 5, d3d9::DxtKind::kDxt5, true)},
      {"DXT3 clear past the edges", 7, 3, kDxt3,
       edge_transparent_blocks(7, 3, d3d9::DxtKind::kDxt3, false)},
      {"DXT3 and one clear pixel", 7, 3, kDxt3,
       edge_transparent_blocks(7, 3, d3d9::DxtKind::kDxt3, true)},
      {"DXT1 clear past the edges, bands", 1025, 700, kDxt1,
       edge_transparent_blocks(1025, 700, d3d9::DxtKind::kDxt1, false)},
      {"DXT1 and one clear pixel", 1, 1, kDxt1,
       edge_transparent_blocks(1, 1, d3d9::DxtKind::kDxt1, true)},
      {"A8R8G8B8, bands", 1500, 700, kArgb, noise(std::size_t{1500} * 700 * 4, 4)},
      {"X8R8G8B8", 33, 17, kXrgb, noise(33 * 17 * 4, 5)},
  };
  for (const auto& c : cases) {
    const Bytes file = dds_file(c.width, c.height, c.format, c.pixels);
    RgbaImage decoded, from_png;
    ASSERT_TRUE(d3d9::decode_dds_first_level(file.data(), file.size(), &decoded).ok()) << c.name;
    Bytes png;
    ASSERT_TRUE(d3d9::dds_first_level_to_png(file.data(), file.size(), &png).ok()) << c.name;
    ASSERT_TRUE(read_png_rgba(png, &from_png)) << c.name;
    EXPECT_TRUE(from_png.pixels == decoded.pixels) << c.name;
    bool opaque = true;
    for (std::size_t i = 3; i < decoded.pixels.size(); i += 4) opaque &= decoded.pixels[i] == 255;
    EXPECT_EQ(png[25], opaque ? 2 : 6) << c.name;  // the IHDR's colour type
    if (std::strstr(c.name, "clear past")) {
      EXPECT_TRUE(opaque) << c.name;
    } else if (std::strstr(c.name, "one clear")) {
      EXPECT_FALSE(opaque) << c.name;
    }
  }
}

TEST(DdsDecode, RefusesWhatItCannotRead) {
  const Bytes dxt1 = dds_file(8, 8, kDxt1, Bytes(32, 0));
  auto changed = [&](std::size_t offset, std::uint32_t value, Bytes file) {
    put32(file, offset, value);
    return file;
  };
  auto cut = [](Bytes file, std::size_t size) {
    file.resize(size);
    return file;
  };
  struct Case {
    const char* name;
    Bytes file;
    ImageStatus status;
  } cases[] = {
      {"empty", {}, ImageStatus::kCorrupt},
      {"127 bytes", cut(dxt1, 127), ImageStatus::kCorrupt},
      {"header only", cut(dxt1, 128), ImageStatus::kCorrupt},
      {"one byte short of the first level", cut(dxt1, 128 + 31), ImageStatus::kCorrupt},
      {"other magic", changed(0, 0x20534445, dxt1), ImageStatus::kCorrupt},
      {"header size 120", changed(4, 120, dxt1), ImageStatus::kCorrupt},
      {"pixel format size 0", changed(76, 0, dxt1), ImageStatus::kCorrupt},
      {"height 0", changed(12, 0, dxt1), ImageStatus::kCorrupt},
      {"width 0", changed(16, 0, dxt1), ImageStatus::kCorrupt},
      {"width beyond the limit", changed(16, d3d9::kMaxDdsSide + 1, dxt1),
       ImageStatus::kUnsupported},
      {"height 2^32 - 1", changed(12, 0xFFFFFFFF, dxt1), ImageStatus::kUnsupported},
      {"side at the limit, data missing", changed(16, d3d9::kMaxDdsSide, dxt1),
       ImageStatus::kCorrupt},
      {"DX10 extended header", changed(84, 0x30315844, dxt1), ImageStatus::kUnsupported},
      {"ATI2", changed(84, 0x32495441, dxt1), ImageStatus::kUnsupported},
      {"16-bit RGB", dds_file(2, 2, {0x40, "\0\0\0", 16, 0xF800, 0x7E0, 0x1F, 0}, Bytes(8, 0)),
       ImageStatus::kUnsupported},
      {"neither RGB nor FourCC", changed(80, 0x20000, dxt1), ImageStatus::kUnsupported},
  };
  for (const Case& c : cases) {
    RgbaImage image;
    image.width = 7;
    image.pixels.assign(4, 1);
    const d3d9::ImageResult result =
        d3d9::decode_dds_first_level(c.file.data(), c.file.size(), &image);
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.message;
    EXPECT_FALSE(result.message.empty()) << c.name;
    EXPECT_EQ(image.width, 0u) << c.name;
    EXPECT_TRUE(image.pixels.empty()) << c.name;
  }
}

TEST(DdsDecode, OnlyTheFirstLevelIsNeeded) {
  // Exactly one level of data, a mip count claiming more: the first level is all we read.
  Bytes file = dds_file(4, 4, kArgb, noise(64, 3));
  put32(file, 28, 3);
  RgbaImage image;
  ASSERT_TRUE(d3d9::decode_dds_first_level(file.data(), file.size(), &image).ok());
  EXPECT_EQ(image.pixels.size(), 64u);
  // A8R8G8B8 stores B, G, R, A.
  EXPECT_EQ(image.pixels[0], file[128 + 2]);
  EXPECT_EQ(image.pixels[2], file[128 + 0]);
  EXPECT_EQ(image.pixels[3], file[128 + 3]);
}

}  // namespace
}  // namespace korvel::test

namespace korvel::test {
namespace {

// Pillow 9 reads 32-bit RGB without alpha as 24-bit pixels, so these two are
// checked by hand: the padding byte is no alpha, and masks of any width scale.
TEST(DdsDecode, MaskedLayoutsByHand) {
  const Bytes x8r8g8b8 = {0x10, 0x20, 0x30, 0x00, 0xFF, 0x80, 0x00, 0x00};
  Bytes file = dds_file(2, 1, {0x40, "\0\0\0", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, x8r8g8b8);
  RgbaImage image;
  ASSERT_TRUE(d3d9::decode_dds_first_level(file.data(), file.size(), &image).ok());
  EXPECT_EQ(image.pixels, (Bytes{0x30, 0x20, 0x10, 0xFF, 0x00, 0x80, 0xFF, 0xFF}));

  // A2R10G10B10: 10-bit colours and a 2-bit alpha.
  const std::uint32_t pixel = 0x3u << 30 | 0x3FFu << 20 | 0x200u << 10 | 0x000u;
  Bytes wide(4);
  put32(wide, 0, pixel);
  file = dds_file(1, 1, {0x41, "\0\0\0", 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, wide);
  ASSERT_TRUE(d3d9::decode_dds_first_level(file.data(), file.size(), &image).ok());
  EXPECT_EQ(image.pixels, (Bytes{0xFF, 0x80, 0x00, 0xFF}));
}

}  // namespace
}  // namespace korvel::test
