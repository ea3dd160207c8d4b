// PNG row filtering for 8-bit RGBA: every row becomes a filter-type byte
// followed by the row's bytes as that filter predicts them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d9/rgba_image.h"

namespace korvel::d3d9 {

// Bytes the filtered rows of the image take: (width * 4 + 1) * height.
std::size_t png_filtered_size(const RgbaImage& image);

// Writes the filtered rows into out, which holds png_filtered_size bytes. Each
// row takes the filter whose output has the smallest sum of magnitudes, which
// lets deflate find smooth pictures' runs. Bands of rows go to every core.
void filter_png_rows(const RgbaImage& image, std::uint8_t* out);

}  // namespace korvel::d3d9
