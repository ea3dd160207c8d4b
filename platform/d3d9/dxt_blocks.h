// DXT1, DXT3 and DXT5 blocks to RGBA pixels, giving exactly the pixels of
// libsquish's DecompressImage (which the tests hold it to) several times as
// fast: the texture page decodes a 2048x2048 level on every click.
#pragma once

#include <cstdint>

namespace korvel::d3d9 {

enum class DxtKind { kDxt1, kDxt3, kDxt5 };

// Decodes the blocks of an image of width x height pixels (rows of blocks,
// each block 4x4 pixels, the last ones cut at the image's edge) into rgba,
// width * height * 4 bytes. Reads (width + 3) / 4 * ((height + 3) / 4)
// blocks of 8 (DXT1) or 16 bytes.
void decode_dxt_image(std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                      const std::uint8_t* blocks, DxtKind kind);

// Whether every pixel of such an image decodes with alpha 255, found from the
// blocks without decoding their colours; reads the same blocks.
bool dxt_image_opaque(std::uint32_t width, std::uint32_t height, const std::uint8_t* blocks,
                      DxtKind kind);

}  // namespace korvel::d3d9
