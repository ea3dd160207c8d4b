// DDS file -> RGBA pixels of its first (largest) level, as D3DX loads the
// textures of the texture page: A8R8G8B8 and other 32- or 24-bit RGB layouts
// given by masks, and DXT1, DXT3, DXT5 blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "file_layouts/dds_file.h"
#include "platform/d3d9/dxt_blocks.h"
#include "platform/d3d9/rgba_image.h"
#include "platform/limits.h"

namespace korvel::d3d9 {

// The first level of a DDS file, checked against the file's size, for
// decoding in parts: the texture page writes rows as it decodes them.
struct DdsLevel {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const std::uint8_t* pixels = nullptr;  // the level's first byte, inside the file
  DdsPixelFormat format{};
  bool blocks = false;  // DXT blocks of the given kind, else masked RGB pixels
  DxtKind kind = DxtKind::kDxt1;
  std::uint32_t unit_bytes = 0;  // bytes of a block, or of a pixel
  std::uint32_t granule = 1;     // rows a part must start at a multiple of
  // Parts shorter than this cost more in threads than they save.
  std::uint32_t min_rows_per_band = 1;
};

// Finds the first level of the DDS file in [file, file + size), or says why
// it cannot be read; nothing outside that range is read.
ImageResult find_dds_first_level(const std::uint8_t* file, std::size_t size, DdsLevel* level);

// Decodes rows [first_row, last_row) of the level into rgba (4 bytes a pixel,
// rows back to back); first_row is a multiple of the level's granule.
void decode_dds_rows(const DdsLevel& level, std::uint32_t first_row, std::uint32_t last_row,
                     std::uint8_t* rgba);

// Whether every pixel of the level decodes with alpha 255.
bool dds_level_opaque(const DdsLevel& level);

// Decodes the first level of the DDS file in [file, file + size). Nothing
// outside that range is read. The image is emptied first and filled only on
// success.
ImageResult decode_dds_first_level(const std::uint8_t* file, std::size_t size, RgbaImage* image);

}  // namespace korvel::d3d9
