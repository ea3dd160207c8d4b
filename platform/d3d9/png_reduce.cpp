#include "platform/d3d9/png_reduce.h"

#include <cstring>

namespace korvel::d3d9 {
namespace {

// An open-addressed set of up to 256 colours; full means "more than 256".
class ColourTable {
 public:
  // The colour's index, adding it; -1 once there are too many.
  int index_of(std::uint32_t colour) {
    std::size_t slot = (colour * 2654435761u) >> (32 - kSlotBits);
    for (;;) {
      if (slots_[slot] == kEmpty) {
        if (colours_.size() == kPngMaxPaletteSize) return -1;
        slots_[slot] = static_cast<std::uint16_t>(colours_.size());
        colours_.push_back(colour);
        return slots_[slot];
      }
      if (colours_[slots_[slot]] == colour) return slots_[slot];
      slot = (slot + 1) & (kSlots - 1);
    }
  }
  const std::vector<std::uint32_t>& colours() const { return colours_; }

 private:
  static constexpr int kSlotBits = 10;
  static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
  static constexpr std::uint16_t kEmpty = 0xFFFF;
  std::vector<std::uint16_t> slots_ = std::vector<std::uint16_t>(kSlots, kEmpty);
  std::vector<std::uint32_t> colours_;
};

std::uint32_t pixel_at(const std::uint8_t* pixel) {
  std::uint32_t value;
  std::memcpy(&value, pixel, 4);
  return value;
}

bool paletted(const RgbaImage& image, PngPixels* out) {
  ColourTable table;
  const std::size_t count = std::size_t{image.width} * image.height;
  std::vector<std::uint8_t> indices(count);
  std::uint32_t previous = 0;
  int previous_index = -1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t colour = pixel_at(&image.pixels[i * 4]);
    if (previous_index < 0 || colour != previous) {
      previous_index = table.index_of(colour);
      if (previous_index < 0) return false;
      previous = colour;
    }
    indices[i] = static_cast<std::uint8_t>(previous_index);
  }
  const std::size_t size = table.colours().size();
  out->colour_type = kPngColourPalette;
  out->bit_depth = size <= 2 ? 1 : size <= 4 ? 2 : size <= 16 ? 4 : 8;
  out->filter_unit = 1;
  out->row_length = (std::size_t{image.width} * out->bit_depth + 7) / 8;
  out->rows.assign(out->row_length * image.height, 0);
  const unsigned depth = out->bit_depth;
  const unsigned per_byte = 8u / depth;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    std::uint8_t* row = &out->rows[y * out->row_length];
    const std::uint8_t* source = &indices[std::size_t{y} * image.width];
    if (depth == 8) {
      std::memcpy(row, source, image.width);
      continue;
    }
    // One byte at a time, leftmost pixel in the highest bits; the bits of
    // pixels past the row's end stay 0.
    for (std::uint32_t x = 0; x < image.width; x += per_byte) {
      unsigned byte = 0;
      for (unsigned k = 0; k < per_byte; ++k) {
        byte = (byte << depth) | (x + k < image.width ? source[x + k] : 0u);
      }
      *row++ = static_cast<std::uint8_t>(byte);
    }
  }
  std::size_t last_translucent = 0;
  for (std::size_t i = 0; i < size; ++i) {
    std::uint8_t rgba[4];
    std::memcpy(rgba, &table.colours()[i], 4);
    out->palette.insert(out->palette.end(), rgba, rgba + 3);
    out->transparency.push_back(rgba[3]);
    if (rgba[3] != 255) last_translucent = i + 1;
  }
  out->transparency.resize(last_translucent);
  return true;
}

}  // namespace

PngPixels reduce_for_png(const RgbaImage& image) {
  PngPixels out;
  if (paletted(image, &out)) return out;
  out = PngPixels{};
  const std::size_t count = std::size_t{image.width} * image.height;
  for (std::size_t i = 0; i < count; ++i) {
    if (image.pixels[i * 4 + 3] != 255) {
      out.row_length = std::size_t{image.width} * 4;
      return out;
    }
  }
  out.colour_type = kPngColourRgb;
  out.filter_unit = 3;
  out.row_length = std::size_t{image.width} * 3;
  out.rows.resize(count * 3);
  for (std::size_t i = 0; i < count; ++i) std::memcpy(&out.rows[i * 3], &image.pixels[i * 4], 3);
  return out;
}

}  // namespace korvel::d3d9
