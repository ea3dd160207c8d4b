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

TEST(PngEncode, PixelsSurviveExactly) {
  const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
      {1, 1}, {3, 5}, {257, 3}, {64, 64}, {1, 300}};
  TempDir scratch;
  for (const auto& [width, height] : sizes) {
    const RgbaImage image = noise_image(width, height, width * 7 + height);
    Bytes png;
    ASSERT_TRUE(d3d9::encode_png(image, &png).ok());
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 8),
              (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    RgbaImage by_libpng, by_pillow;
    ASSERT_TRUE(read_png_rgba(png, &by_libpng)) << width << "x" << height;
    EXPECT_EQ(by_libpng.width, width);
    EXPECT_EQ(by_libpng.pixels, image.pixels) << width << "x" << height;
    write_bytes(scratch.file("out.png"), png);
    ASSERT_TRUE(read_with_pillow(scratch.file("out.png"), &by_pillow));
    EXPECT_EQ(by_pillow.pixels, image.pixels) << width << "x" << height;
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
