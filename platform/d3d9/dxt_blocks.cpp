#include "platform/d3d9/dxt_blocks.h"

#include <cstring>

namespace korvel::d3d9 {
namespace {

struct Rgb {
  int r, g, b;
};

// 5:6:5 to 8 bits a channel, the top bits repeated below.
Rgb unpack_565(int value) {
  const int r = (value >> 11) & 0x1F, g = (value >> 5) & 0x3F, b = value & 0x1F;
  return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

std::uint32_t rgba_word(int r, int g, int b, int a) {
  return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
         static_cast<std::uint32_t>(b) << 16 | static_cast<std::uint32_t>(a) << 24;
}

// The 16 pixels of a colour block (8 bytes), as RGBA words in row order.
// Only DXT1 blocks whose first colour is not above the second have three
// colours and transparent black.
void decode_colours(const std::uint8_t* block, bool dxt1, std::uint32_t pixels[16]) {
  const int a = block[0] | block[1] << 8, b = block[2] | block[3] << 8;
  const Rgb c = unpack_565(a), d = unpack_565(b);
  std::uint32_t palette[4];
  palette[0] = rgba_word(c.r, c.g, c.b, 255);
  palette[1] = rgba_word(d.r, d.g, d.b, 255);
  if (dxt1 && a <= b) {
    palette[2] = rgba_word((c.r + d.r) / 2, (c.g + d.g) / 2, (c.b + d.b) / 2, 255);
    palette[3] = 0;
  } else {
    palette[2] = rgba_word((2 * c.r + d.r) / 3, (2 * c.g + d.g) / 3, (2 * c.b + d.b) / 3, 255);
    palette[3] = rgba_word((c.r + 2 * d.r) / 3, (c.g + 2 * d.g) / 3, (c.b + 2 * d.b) / 3, 255);
  }
  for (int row = 0; row < 4; ++row) {
    const unsigned indices = block[4 + row];
    for (int column = 0; column < 4; ++column) {
      pixels[row * 4 + column] = palette[(indices >> (2 * column)) & 3];
    }
  }
}

// Explicit 4-bit alpha (DXT3), each nibble repeated to 8 bits.
void apply_dxt3_alpha(const std::uint8_t* block, std::uint32_t pixels[16]) {
  for (int i = 0; i < 8; ++i) {
    const unsigned low = block[i] & 0x0Fu, high = block[i] & 0xF0u;
    pixels[2 * i] = (pixels[2 * i] & 0x00FFFFFFu) | (low | low << 4) << 24;
    pixels[2 * i + 1] = (pixels[2 * i + 1] & 0x00FFFFFFu) | (high | high >> 4) << 24;
  }
}

// Interpolated alpha (DXT5): two end values and 3-bit indices; six steps
// between them, or four with 0 and 255 when the first is not above the second.
void apply_dxt5_alpha(const std::uint8_t* block, std::uint32_t pixels[16]) {
  const int alpha0 = block[0], alpha1 = block[1];
  unsigned codes[8];
  codes[0] = static_cast<unsigned>(alpha0);
  codes[1] = static_cast<unsigned>(alpha1);
  if (alpha0 <= alpha1) {
    for (int i = 1; i < 5; ++i)
      codes[1 + i] = static_cast<unsigned>(((5 - i) * alpha0 + i * alpha1) / 5);
    codes[6] = 0;
    codes[7] = 255;
  } else {
    for (int i = 1; i < 7; ++i)
      codes[1 + i] = static_cast<unsigned>(((7 - i) * alpha0 + i * alpha1) / 7);
  }
  std::uint64_t indices = 0;
  for (int i = 0; i < 6; ++i) indices |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
  for (int i = 0; i < 16; ++i) {
    pixels[i] = (pixels[i] & 0x00FFFFFFu) | codes[(indices >> (3 * i)) & 7] << 24;
  }
}

}  // namespace

void decode_dxt_image(std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                      const std::uint8_t* blocks, DxtKind kind) {
  const std::size_t block_bytes = kind == DxtKind::kDxt1 ? 8 : 16;
  const std::size_t row_bytes = std::size_t{width} * 4;
  std::uint32_t pixels[16];
  for (std::uint32_t y = 0; y < height; y += 4) {
    const std::uint32_t rows = height - y < 4 ? height - y : 4;
    std::uint8_t* out_row = rgba + std::size_t{y} * row_bytes;
    for (std::uint32_t x = 0; x < width; x += 4, blocks += block_bytes) {
      if (kind == DxtKind::kDxt1) {
        decode_colours(blocks, true, pixels);
      } else {
        decode_colours(blocks + 8, false, pixels);
        if (kind == DxtKind::kDxt3) {
          apply_dxt3_alpha(blocks, pixels);
        } else {
          apply_dxt5_alpha(blocks, pixels);
        }
      }
      // Pixels past the image's right or bottom edge are dropped.
      const std::size_t columns = width - x < 4 ? width - x : 4;
      for (std::uint32_t row = 0; row < rows; ++row) {
        std::memcpy(out_row + row * row_bytes + std::size_t{x} * 4, pixels + row * 4, columns * 4);
      }
    }
  }
}

}  // namespace korvel::d3d9
