#include "tools/forge/pictures.h"

#include <algorithm>

namespace korvel::forge {
namespace {

using d3d9::RgbaImage;

// 5 x 7 block letters, one row per byte, the leftmost column in bit 4.
struct Glyph {
  char letter;
  std::uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
};
constexpr char kWord[] = "KORVEL";
constexpr std::uint32_t kWordLength = sizeof kWord - 1;

bool glyph_pixel(char letter, std::uint32_t column, std::uint32_t row) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.letter == letter) return (glyph.rows[row] >> (4 - column)) & 1;
  }
  return false;
}

void put(RgbaImage& image, std::uint32_t x, std::uint32_t y, std::uint8_t r, std::uint8_t g,
         std::uint8_t b, std::uint8_t a) {
  std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * image.width + x) * 4;
  pixel[0] = r;
  pixel[1] = g;
  pixel[2] = b;
  pixel[3] = a;
}

std::uint8_t scale(std::uint32_t value, std::uint32_t range) {
  return static_cast<std::uint8_t>(range <= 1 ? 0 : value * 255 / (range - 1));
}

std::uint32_t integer_sqrt(std::uint64_t value) {
  std::uint64_t root = 0;
  while ((root + 1) * (root + 1) <= value) ++root;
  return static_cast<std::uint32_t>(root);
}

}  // namespace

RgbaImage render_picture(Picture picture, std::uint32_t width, std::uint32_t height) {
  RgbaImage image;
  image.width = width;
  image.height = height;
  image.pixels.assign(std::size_t{width} * height * 4, 0);
  // Letters are 6 cells wide with the gap, 9 tall with the margins.
  const std::uint32_t cell =
      std::max<std::uint32_t>(1, std::min(width / (kWordLength * 6 + 1), height / 9));
  const std::uint32_t cell_size = std::max<std::uint32_t>(1, std::max(width, height) / 8);
  const std::uint32_t ring_width = std::max<std::uint32_t>(1, std::min(width, height) / 16);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      switch (picture) {
        case Picture::kGradient:
          put(image, x, y, scale(x, width), scale(y, height), 96,
              static_cast<std::uint8_t>(255 - (scale(x, width) + scale(y, height)) / 4));
          break;
        case Picture::kChecker: {
          const bool dark = ((x / cell_size) + (y / cell_size)) % 2 == 0;
          put(image, x, y, dark ? 40 : 230, dark ? 60 : 200, dark ? 160 : 40,
              y < height / 2 ? 255 : (dark ? 64 : 192));
          break;
        }
        case Picture::kLettering: {
          const bool band = (y / std::max<std::uint32_t>(1, height / 4)) % 2 == 0;
          std::uint8_t r = band ? 20 : 40, g = band ? 30 : 20, b = band ? 70 : 90;
          const std::uint32_t gx = x / cell, gy = y / cell;
          if (gy >= 1 && gy < 8 && gx >= 1 && gx < kWordLength * 6 + 1 && (gx - 1) % 6 < 5 &&
              glyph_pixel(kWord[(gx - 1) / 6], (gx - 1) % 6, gy - 1)) {
            r = 250, g = 240, b = 210;
          }
          put(image, x, y, r, g, b, 255);
          break;
        }
        case Picture::kRings: {
          const std::int64_t dx = std::int64_t{x} * 2 - width, dy = std::int64_t{y} * 2 - height;
          const std::uint32_t distance =
              integer_sqrt(static_cast<std::uint64_t>(dx * dx + dy * dy)) / 2;
          const bool on = (distance / ring_width) % 2 == 0;
          put(image, x, y, on ? 200 : 30, on ? 80 : 30, on ? 20 : 120, on ? 255 : 128);
          break;
        }
      }
    }
  }
  return image;
}

RgbaImage half_size(const RgbaImage& image) {
  RgbaImage half;
  half.width = image.width > 1 ? image.width / 2 : 1;
  half.height = image.height > 1 ? image.height / 2 : 1;
  half.pixels.assign(std::size_t{half.width} * half.height * 4, 0);
  for (std::uint32_t y = 0; y < half.height; ++y) {
    for (std::uint32_t x = 0; x < half.width; ++x) {
      for (int channel = 0; channel < 4; ++channel) {
        std::uint32_t sum = 0, count = 0;
        for (std::uint32_t sy = y * 2; sy < std::min(y * 2 + 2, image.height); ++sy) {
          for (std::uint32_t sx = x * 2; sx < std::min(x * 2 + 2, image.width); ++sx) {
            sum += image.pixels[(std::size_t{sy} * image.width + sx) * 4 + channel];
            ++count;
          }
        }
        half.pixels[(std::size_t{y} * half.width + x) * 4 + channel] =
            static_cast<std::uint8_t>((sum + count / 2) / count);
      }
    }
  }
  return half;
}

}  // namespace korvel::forge
