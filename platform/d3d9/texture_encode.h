// RGBA pixels -> a DDS file in a given texture's own layout: DXT1, DXT3 and
// DXT5 blocks (libsquish at its best quality) or A8R8G8B8 pixels, with a mip
// chain made by halving.
#pragma once

#include <cstdint>
#include <vector>

#include "file_layouts/dds_file.h"
#include "platform/d3d9/rgba_image.h"

namespace korvel::d3d9 {

// The pixel layouts a texture can be stored in and encoded to.
enum class TextureFormat { kA8R8G8B8, kDxt1, kDxt3, kDxt5 };

// The format a DDS header declares, or false for one we do not encode.
bool texture_format_of(const DdsFileHeader& header, TextureFormat* format);
const char* texture_format_name(TextureFormat format);

// The next mip level: each pixel the rounded average of the 2 x 2 square (or
// pair, once a side is 1) it covers.
RgbaImage box_filter_half(const RgbaImage& image);

// Writes a DDS file of the image: model's header with dwMipMapCount set to
// levels, then levels levels, largest first, each made from the one above.
// The image's sides must be the header's.
ImageResult encode_dds(const DdsFileHeader& model, std::uint32_t levels, const RgbaImage& image,
                       std::vector<std::uint8_t>* dds);

}  // namespace korvel::d3d9
