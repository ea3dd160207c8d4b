// DDS file -> RGBA pixels of its first (largest) level, as D3DX loads the
// textures of the texture page: A8R8G8B8 and other 32- or 24-bit RGB layouts
// given by masks, and DXT1, DXT3, DXT5 blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d9/rgba_image.h"
#include "platform/limits.h"

namespace korvel::d3d9 {

// Decodes the first level of the DDS file in [file, file + size). Nothing
// outside that range is read. The image is emptied first and filled only on
// success.
ImageResult decode_dds_first_level(const std::uint8_t* file, std::size_t size, RgbaImage* image);

}  // namespace korvel::d3d9
