// PNG pictures of every colour type and depth arrive as 8-bit RGBA.
#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <vector>

#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_decode.h"
#include "platform/d3d9/texture_encode.h"

namespace korvel::d3d9 {
namespace {

using Bytes = std::vector<std::uint8_t>;

void append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// A one-row PNG of the given type written with libpng itself; samples are
// the raw row bytes (16-bit samples big-endian, as PNG stores them).
Bytes write_row_png(int color_type, int bit_depth, std::uint32_t width, const Bytes& samples,
                    const std::vector<png_color>& palette = {}, const Bytes& transparency = {}) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, &append, nullptr);
  png_set_IHDR(png, info, width, 1, bit_depth, color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!transparency.empty())
    png_set_tRNS(png, info, transparency.data(), static_cast<int>(transparency.size()), nullptr);
  png_write_info(png, info);
  png_write_row(png, const_cast<png_bytep>(samples.data()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

TEST(PngDecode, EveryColourTypeBecomesRgba) {
  struct Case {
    const char* name;
    Bytes png;
    Bytes rgba;
  };
  const Case cases[] = {
      {"grey 8",
       write_row_png(PNG_COLOR_TYPE_GRAY, 8, 2, {0x00, 0x80}),
       {0, 0, 0, 255, 0x80, 0x80, 0x80, 255}},
      {"grey 1",
       write_row_png(PNG_COLOR_TYPE_GRAY, 1, 2, {0x40}),
       {0, 0, 0, 255, 255, 255, 255, 255}},
      // 16-bit samples are scaled with rounding: 0x8080 is exactly 0x80.
      {"grey 16",
       write_row_png(PNG_COLOR_TYPE_GRAY, 16, 2, {0x80, 0x80, 0xFF, 0xFF}),
       {0x80, 0x80, 0x80, 255, 255, 255, 255, 255}},
      {"grey alpha",
       write_row_png(PNG_COLOR_TYPE_GRAY_ALPHA, 8, 1, {0x30, 0x40}),
       {0x30, 0x30, 0x30, 0x40}},
      {"rgb", write_row_png(PNG_COLOR_TYPE_RGB, 8, 1, {1, 2, 3}), {1, 2, 3, 255}},
      {"rgb 16",
       write_row_png(PNG_COLOR_TYPE_RGB, 16, 1, {0x10, 0x10, 0x20, 0x20, 0xFF, 0xFF}),
       {0x10, 0x20, 0xFF, 255}},
      {"rgba", write_row_png(PNG_COLOR_TYPE_RGB_ALPHA, 8, 1, {9, 8, 7, 6}), {9, 8, 7, 6}},
      {"palette with transparency",
       write_row_png(PNG_COLOR_TYPE_PALETTE, 8, 2, {1, 0}, {{10, 20, 30}, {40, 50, 60}}, {128}),
       {40, 50, 60, 255, 10, 20, 30, 128}},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    RgbaImage image;
    const ImageResult result = decode_png(row.png.data(), row.png.size(), &image);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(image.pixels, row.rgba);
  }
}

TEST(PngDecode, RefusesWhatIsNoPictureOrTooLarge) {
  const Bytes good = write_row_png(PNG_COLOR_TYPE_RGB, 8, 1, {1, 2, 3});
  const Bytes cut(good.begin(), good.end() - 20);
  const Bytes wide =
      write_row_png(PNG_COLOR_TYPE_GRAY, 1, kMaxDdsSide + 1, Bytes((kMaxDdsSide + 1 + 7) / 8, 0));
  for (const Bytes& bytes :
       {Bytes{}, Bytes{'n', 'o', 't', ' ', 'p', 'n', 'g', '!', 0}, cut, wide}) {
    RgbaImage image;
    EXPECT_FALSE(decode_png(bytes.data(), bytes.size(), &image).ok());
    EXPECT_TRUE(image.pixels.empty());
  }
}

TEST(TextureEncode, MipLevelsAreBoxFilteredHalves) {
  RgbaImage image{4, 2, {}};
  for (int i = 0; i < 8; ++i)
    image.pixels.insert(image.pixels.end(), {Bytes::value_type(i * 10), 0, 0, 255});
  const RgbaImage half = box_filter_half(image);
  // (0 + 10 + 40 + 50) / 4 and (20 + 30 + 60 + 70) / 4.
  EXPECT_EQ(half.pixels, (Bytes{25, 0, 0, 255, 45, 0, 0, 255}));
  const RgbaImage quarter = box_filter_half(half);
  EXPECT_EQ(quarter.pixels, (Bytes{35, 0, 0, 255}));
}

}  // namespace
}  // namespace korvel::d3d9
