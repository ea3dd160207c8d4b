// PNG row filtering: every row becomes a filter-type byte followed by the
// row's bytes as that filter predicts them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel::d3d9 {

struct PngRowSource {
  const std::uint8_t* rows;  // height rows of row_length bytes, back to back
  std::size_t row_length;
  std::uint32_t height;
  std::size_t unit;  // bytes per pixel, at least 1: how far back "left" lies
};

// Bytes the filtered rows take: (row_length + 1) * height.
std::size_t png_filtered_size(const PngRowSource& source);

// Writes the filtered rows into out, which holds png_filtered_size bytes.
// Adaptive: each row takes the filter whose output has the smallest sum of
// magnitudes, which lets deflate find smooth pictures' runs; otherwise rows
// stay as they are (best for palette indices), except that a row equal to
// the one above takes Up and becomes zeros. Bands of rows go to every core.
void filter_png_rows(const PngRowSource& source, bool adaptive, std::uint8_t* out);

}  // namespace korvel::d3d9
