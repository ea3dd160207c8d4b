// RGBA -> PNG in memory, read back by libpng's own reader and by Pillow.
#include <gtest/gtest.h>

#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_encode.h"
#include "tests/platform/d3d9/image_oracles.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using d3d9::RgbaImage;

RgbaImage noise_image(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(std::size_t{width} * height * 4);
  for (std::uint8_t& byte : image.pixels) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return image;
}

// Smooth rings with a hard edge: every row filter wins somewhere.
RgbaImage smooth_image(std::uint32_t width, std::uint32_t height) {
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.resize(std::size_t{width} * height * 4);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* pixel = &image.pixels[(std::size_t{y} * width + x) * 4];
      pixel[0] = static_cast<std::uint8_t>((x * x + y * y) / 64);
      pixel[1] = static_cast<std::uint8_t>(x + y);
      pixel[2] = static_cast<std::uint8_t>(x < width / 2 ? 0 : 255);
      pixel[3] = static_cast<std::uint8_t>(255 - y);
    }
  }
  return image;
}

// colours distinct colours in stripes; opaque or with translucent ones.
RgbaImage few_colours(std::uint32_t width, std::uint32_t height, std::uint32_t colours,
                      bool opaque) {
  RgbaImage image = smooth_image(width, height);
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    const auto colour = static_cast<std::uint32_t>((i / 4) * 7 / 5 % colours);
    image.pixels[i] = static_cast<std::uint8_t>(colour * 37);
    image.pixels[i + 1] = static_cast<std::uint8_t>(colour);
    image.pixels[i + 2] = static_cast<std::uint8_t>(255 - colour);
    image.pixels[i + 3] = opaque ? 255 : static_cast<std::uint8_t>(colour % 3 * 100);
  }
  return image;
}

TEST(PngEncode, PixelsSurviveExactly) {
  // Large ones span many stored blocks, several bands of filtered rows and
  // several deflated bands; large palettes and RGB are reduced in bands that
  // each meet the colours in their own order. In the last two the stripes
  // repeat row after row, and those rows go in as Up-filtered zeros.
  // Files to keep take the smallest exact colour type: palettes of every bit
  // depth with and without transparency, and RGB for opaque pictures.
  enum Kind { kNoise, kSmooth, kOpaque, kColours2, kColours4, kColours16, kColours256 };
  const struct {
    std::uint32_t width, height;
    Kind kind;
  } cases[] = {
      {1, 1, kNoise},           {3, 5, kNoise},        {257, 3, kNoise},     {64, 64, kNoise},
      {1, 300, kNoise},         {1100, 1000, kSmooth}, {700, 900, kNoise},   {301, 40, kOpaque},
      {13, 7, kColours2},       {9, 5, kColours4},     {33, 17, kColours16}, {130, 90, kColours256},
      {1100, 700, kColours256}, {1100, 1000, kOpaque}, {10, 6, kColours2},   {80, 30, kColours16}};
  TempDir scratch;
  for (const auto& [width, height, kind] : cases) {
    for (const d3d9::PngPacking packing : {d3d9::PngPacking::kQuick, d3d9::PngPacking::kCompact}) {
      RgbaImage image = kind == kNoise ? noise_image(width, height, width * 7 + height)
                                       : smooth_image(width, height);
      const std::uint32_t colours[] = {0, 0, 0, 2, 4, 16, 256};
      if (kind >= kColours2) image = few_colours(width, height, colours[kind], kind % 2 == 0);
      if (kind == kOpaque) {
        for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = 255;
      }
      Bytes png;
      ASSERT_TRUE(d3d9::encode_png(image, &png, packing).ok());
      ASSERT_GT(png.size(), 8u);
      EXPECT_EQ(Bytes(png.begin(), png.begin() + 8),
                (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
      if (packing == d3d9::PngPacking::kQuick) {
        // Stored rows drop the alpha of an opaque picture: RGB (2), else RGBA (6).
        bool opaque = true;
        for (std::size_t i = 3; i < image.pixels.size(); i += 4) opaque &= image.pixels[i] == 255;
        EXPECT_EQ(png[25], opaque ? 2 : 6) << width << "x" << height;
      }
      RgbaImage by_libpng, by_pillow;
      ASSERT_TRUE(read_png_rgba(png, &by_libpng)) << width << "x" << height;
      EXPECT_EQ(by_libpng.width, width);
      EXPECT_EQ(by_libpng.pixels, image.pixels) << width << "x" << height;
      write_bytes(scratch.file("out.png"), png);
      ASSERT_TRUE(read_with_pillow(scratch.file("out.png"), &by_pillow));
      EXPECT_EQ(by_pillow.pixels, image.pixels) << width << "x" << height;
    }
  }
}

TEST(PngEncode, RefusesInconsistentImages) {
  RgbaImage short_pixels = noise_image(4, 4, 1);
  short_pixels.pixels.pop_back();
  RgbaImage no_width = noise_image(4, 4, 1);
  no_width.width = 0;
  for (const RgbaImage& image : {short_pixels, no_width, RgbaImage{}}) {
    Bytes png = {1, 2, 3};
    EXPECT_FALSE(d3d9::encode_png(image, &png).ok());
    EXPECT_TRUE(png.empty());
  }
}

TEST(PngEncode, DdsFirstLevelToPng) {
  const std::string dds_path = std::string(KORVEL_SHARED_TESTDATA) +
                               "/dds/pillow/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds";
  const Bytes dds = read_bytes(dds_path);
  ASSERT_FALSE(dds.empty());
  Bytes png;
  ASSERT_TRUE(d3d9::dds_first_level_to_png(dds.data(), dds.size(), &png).ok());
  RgbaImage decoded, from_png;
  ASSERT_TRUE(d3d9::decode_dds_first_level(dds.data(), dds.size(), &decoded).ok());
  ASSERT_TRUE(read_png_rgba(png, &from_png));
  EXPECT_EQ(from_png.pixels, decoded.pixels);

  // A DDS file cut short gives no PNG and says why.
  const d3d9::ImageResult cut = d3d9::dds_first_level_to_png(dds.data(), 200, &png);
  EXPECT_EQ(cut.status, d3d9::ImageStatus::kCorrupt);
  EXPECT_TRUE(png.empty());
}

}  // namespace
}  // namespace korvel::test
