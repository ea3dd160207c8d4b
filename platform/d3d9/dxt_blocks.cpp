#include "platform/d3d9/dxt_blocks.h"

#include <cstring>

namespace korvel::d3d9 {
namespace {

struct Rgb {
  unsigned r, g, b;
};

// 5:6:5 to 8 bits a channel, the top bits repeated below.
Rgb unpack_565(unsigned value) {
  const unsigned r = (value >> 11) & 0x1F, g = (value >> 5) & 0x3F, b = value & 0x1F;
  return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

std::uint32_t rgb_word(unsigned r, unsigned g, unsigned b) {
  return r | g << 8 | b << 16;
}

std::uint32_t load_u32(const std::uint8_t* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Whether a colour block (8 bytes) has three colours and transparent black
// rather than four colours: only in DXT1, when the first colour is not above
// the second.
bool has_transparent_black(const std::uint8_t* block) {
  return (block[0] | block[1] << 8) <= (block[2] | block[3] << 8);
}

// A colour block's four colours as RGBA words with alpha 0, for the caller to
// fill in.
void colour_palette(const std::uint8_t* block, bool three_colours, std::uint32_t palette[4]) {
  const Rgb c = unpack_565(block[0] | block[1] << 8), d = unpack_565(block[2] | block[3] << 8);
  palette[0] = rgb_word(c.r, c.g, c.b);
  palette[1] = rgb_word(d.r, d.g, d.b);
  if (three_colours) {
    palette[2] = rgb_word((c.r + d.r) / 2, (c.g + d.g) / 2, (c.b + d.b) / 2);
    palette[3] = 0;
  } else {
    palette[2] = rgb_word((2 * c.r + d.r) / 3, (2 * c.g + d.g) / 3, (2 * c.b + d.b) / 3);
    palette[3] = rgb_word((c.r + 2 * d.r) / 3, (c.g + 2 * d.g) / 3, (c.b + 2 * d.b) / 3);
  }
}

// Interpolated alpha (DXT5): two end values and 3-bit indices; six steps
// between them, or four with 0 and 255 when the first is not above the second.
void alpha_codes(const std::uint8_t* block, std::uint32_t codes[8]) {
  const unsigned alpha0 = block[0], alpha1 = block[1];
  codes[0] = alpha0;
  codes[1] = alpha1;
  if (alpha0 <= alpha1) {
    for (unsigned i = 1; i < 5; ++i) codes[1 + i] = ((5 - i) * alpha0 + i * alpha1) / 5;
    codes[6] = 0;
    codes[7] = 255;
  } else {
    for (unsigned i = 1; i < 7; ++i) codes[1 + i] = ((7 - i) * alpha0 + i * alpha1) / 7;
  }
}

std::uint64_t alpha_indices(const std::uint8_t* block) {
  std::uint64_t indices = 0;
  for (int i = 0; i < 6; ++i) indices |= static_cast<std::uint64_t>(block[2 + i]) << (8 * i);
  return indices;
}

// The 16 pixels of one block as RGBA words in row order. The per-pixel loops
// are meant to unroll: the file is built with -O3.
template <DxtKind kKind>
void decode_block(const std::uint8_t* block, std::uint32_t pixels[16]) {
  std::uint32_t palette[4];
  if (kKind == DxtKind::kDxt1) {
    const bool three_colours = has_transparent_black(block);
    colour_palette(block, three_colours, palette);
    constexpr std::uint32_t kOpaque = 0xFF000000u;
    palette[0] |= kOpaque, palette[1] |= kOpaque, palette[2] |= kOpaque;
    if (!three_colours) palette[3] |= kOpaque;
    const std::uint32_t indices = load_u32(block + 4);
    for (int i = 0; i < 16; ++i) pixels[i] = palette[(indices >> (2 * i)) & 3];
    return;
  }
  colour_palette(block + 8, false, palette);
  const std::uint32_t indices = load_u32(block + 12);
  if (kKind == DxtKind::kDxt3) {
    // Explicit 4-bit alpha, each nibble repeated to 8 bits.
    for (int i = 0; i < 16; ++i) {
      const std::uint32_t nibble = (block[i / 2] >> (4 * (i & 1))) & 0x0Fu;
      pixels[i] = palette[(indices >> (2 * i)) & 3] | (nibble * 0x11u) << 24;
    }
    return;
  }
  std::uint32_t codes[8];
  alpha_codes(block, codes);
  for (std::uint32_t& code : codes) code <<= 24;
  const std::uint64_t alphas = alpha_indices(block);
  for (int i = 0; i < 16; ++i) {
    pixels[i] = palette[(indices >> (2 * i)) & 3] | codes[(alphas >> (3 * i)) & 7];
  }
}

template <DxtKind kKind>
void decode_blocks(std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                   const std::uint8_t* blocks) {
  constexpr std::size_t kBlockBytes = kKind == DxtKind::kDxt1 ? 8 : 16;
  const std::size_t row_bytes = std::size_t{width} * 4;
  std::uint32_t pixels[16];
  for (std::uint32_t y = 0; y < height; y += 4) {
    const std::uint32_t rows = height - y < 4 ? height - y : 4;
    std::uint8_t* out_row = rgba + std::size_t{y} * row_bytes;
    for (std::uint32_t x = 0; x < width; x += 4, blocks += kBlockBytes) {
      decode_block<kKind>(blocks, pixels);
      std::uint8_t* out = out_row + std::size_t{x} * 4;
      if (rows == 4 && width - x >= 4) {
        for (int row = 0; row < 4; ++row) std::memcpy(out + row * row_bytes, pixels + row * 4, 16);
        continue;
      }
      // Pixels past the image's right or bottom edge are dropped.
      const std::size_t columns = width - x < 4 ? width - x : 4;
      for (std::uint32_t row = 0; row < rows; ++row) {
        std::memcpy(out + row * row_bytes, pixels + row * 4, columns * 4);
      }
    }
  }
}

constexpr std::uint32_t kWholeBlock = 0xFFFF;

std::uint64_t load_u64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

// Whether every pixel of the block that lies inside the image (set bits of
// inside, one per pixel in row order) decodes with alpha 255. Each kind's
// pixels are tested at once as bit fields; the texture page asks this of
// every block of an opaque texture before it decodes them.
bool block_opaque(const std::uint8_t* block, DxtKind kind, std::uint32_t inside) {
  if (kind == DxtKind::kDxt1) {
    if (!has_transparent_black(block)) return true;
    // Bit 2i is set where pixel i takes index 3, transparent black.
    const std::uint32_t indices = load_u32(block + 4);
    const std::uint32_t black = indices & indices >> 1 & 0x55555555u;
    std::uint32_t inside_fields = 0;
    for (int i = 0; i < 16; ++i) inside_fields |= (inside >> i & 1u) << (2 * i);
    return (black & inside_fields) == 0;
  }
  if (kind == DxtKind::kDxt3) {
    const std::uint64_t nibbles = load_u64(block);
    if (inside == kWholeBlock) return nibbles == ~std::uint64_t{0};
    std::uint64_t inside_nibbles = 0;
    for (int i = 0; i < 16; ++i)
      inside_nibbles |= std::uint64_t{(inside >> i & 1u) * 0xFu} << (4 * i);
    return (nibbles & inside_nibbles) == inside_nibbles;
  }
  const std::uint64_t alphas = alpha_indices(block);
  // The usual opaque block: every pixel takes the first end value, 255.
  if (block[0] == 255 && alphas == 0) return true;
  std::uint32_t codes[8];
  alpha_codes(block, codes);
  unsigned clear_codes = 0;
  for (unsigned i = 0; i < 8; ++i) clear_codes |= (codes[i] != 255 ? 1u : 0u) << i;
  std::uint32_t clear = 0;
  for (int i = 0; i < 16; ++i) clear |= (clear_codes >> (alphas >> (3 * i) & 7) & 1u) << i;
  return (clear & inside) == 0;
}

}  // namespace

void decode_dxt_image(std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                      const std::uint8_t* blocks, DxtKind kind) {
  switch (kind) {
    case DxtKind::kDxt1:
      return decode_blocks<DxtKind::kDxt1>(rgba, width, height, blocks);
    case DxtKind::kDxt3:
      return decode_blocks<DxtKind::kDxt3>(rgba, width, height, blocks);
    case DxtKind::kDxt5:
      return decode_blocks<DxtKind::kDxt5>(rgba, width, height, blocks);
  }
}

bool dxt_image_opaque(std::uint32_t width, std::uint32_t height, const std::uint8_t* blocks,
                      DxtKind kind) {
  const std::size_t block_bytes = kind == DxtKind::kDxt1 ? 8 : 16;
  for (std::uint32_t y = 0; y < height; y += 4) {
    const std::uint32_t rows = height - y < 4 ? height - y : 4;
    for (std::uint32_t x = 0; x < width; x += 4, blocks += block_bytes) {
      const std::uint32_t columns = width - x < 4 ? width - x : 4;
      std::uint32_t inside = kWholeBlock;
      if (columns < 4 || rows < 4) {
        const std::uint32_t row_bits = (1u << columns) - 1;
        inside = 0;
        for (std::uint32_t row = 0; row < rows; ++row) inside |= row_bits << (4 * row);
      }
      if (!block_opaque(blocks, kind, inside)) return false;
    }
  }
  return true;
}

}  // namespace korvel::d3d9
