// RGBA pixels -> PNG file in memory, for two uses: the texture page, which
// asks again on every view and throws the bytes away after showing them, and
// files a user keeps.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9/rgba_image.h"

namespace korvel::d3d9 {

enum class PngPacking {
  kQuick,    // rows stored, RGB when opaque: the fastest PNG there is, but large
  kCompact,  // rows filtered per row and deflated hard: small files, still quick
};

// Writes an 8-bit RGBA PNG of the image into png (replacing its content).
ImageResult encode_png(const RgbaImage& image, std::vector<std::uint8_t>* png,
                       PngPacking packing = PngPacking::kQuick);

// The two steps the texture page and the extract commands take together: the
// first level of a DDS file as a PNG file.
ImageResult dds_first_level_to_png(const std::uint8_t* file, std::size_t size,
                                   std::vector<std::uint8_t>* png,
                                   PngPacking packing = PngPacking::kQuick);

}  // namespace korvel::d3d9
