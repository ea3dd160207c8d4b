// The smallest exact PNG colour type for an RGBA image, as other encoders
// choose it: a palette of 1, 2, 4 or 8 bits per pixel for up to 256 colours,
// RGB when every pixel is opaque, else RGBA. Read back as RGBA, every pixel
// is what it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d9/rgba_image.h"

namespace korvel::d3d9 {

constexpr std::uint8_t kPngColourPalette = 3;
constexpr std::uint8_t kPngColourRgb = 2;
constexpr std::uint8_t kPngColourRgba = 6;
constexpr std::size_t kPngMaxPaletteSize = 256;

struct PngPixels {
  std::uint8_t colour_type = kPngColourRgba;
  std::uint8_t bit_depth = 8;
  std::size_t filter_unit = 4;  // bytes per pixel as row filters see them (at least 1)
  std::size_t row_length = 0;   // bytes per row, without the filter byte
  std::vector<std::uint8_t> rows;
  std::vector<std::uint8_t> palette;       // R, G, B per entry
  std::vector<std::uint8_t> transparency;  // alpha per entry, up to the last one below 255
};

// The image's pixels in their smallest exact form; rows empty when they
// are the image's own RGBA rows unchanged (no copy is made then).
PngPixels reduce_for_png(const RgbaImage& image);

}  // namespace korvel::d3d9
