// PNG file in memory -> RGBA pixels, for textures a user painted. Palette,
// grey, 16-bit and alpha-less pictures all arrive as 8-bit RGBA.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d9/rgba_image.h"

namespace korvel::d3d9 {

// Decodes the PNG file in [file, file + size). Sides beyond kMaxDdsSide are
// refused before any pixel memory is taken. The image is emptied first and
// filled only on success.
ImageResult decode_png(const std::uint8_t* file, std::size_t size, RgbaImage* image);

}  // namespace korvel::d3d9
