#include "platform/d3d9/png_reduce.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "platform/d3d9/parallel_bands.h"
#include "platform/limits.h"

namespace korvel::d3d9 {
namespace {

// Each pass reads every pixel once; smaller bands are not worth a thread.
constexpr std::size_t kMinPixelBytesPerBand = std::size_t{1} << 20;

// An open-addressed set of up to 256 colours; full means "more than 256".
class ColourTable {
 public:
  // The colour's index, adding it; -1 once there are too many.
  int index_of(std::uint32_t colour) {
    std::size_t slot = first_slot(colour);
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
  static std::size_t first_slot(std::uint32_t colour) {
    return (colour * 2654435761u) >> (32 - kSlotBits);
  }
  std::vector<std::uint16_t> slots_ = std::vector<std::uint16_t>(kSlots, kEmpty);
  std::vector<std::uint32_t> colours_;
};

std::uint32_t pixel_at(const std::uint8_t* pixel) {
  std::uint32_t value;
  std::memcpy(&value, pixel, 4);
  return value;
}

std::uint32_t min_rows_per_band(const RgbaImage& image) {
  return static_cast<std::uint32_t>(kMinPixelBytesPerBand / (std::size_t{image.width} * 4) + 1);
}

// One band of rows: its colours in the order they first appear, and where
// they went in the whole image's palette.
struct BandColours {
  std::uint32_t first_row = 0;
  ColourTable table;
  std::uint8_t palette_index[kPngMaxPaletteSize] = {};
};

// Indexes one band's pixels into its own colours; false when it finds more
// than 256, and it stops early when another band has.
bool index_band(const RgbaImage& image, std::uint32_t first_row, std::uint32_t last_row,
                const std::atomic<bool>& too_many, ColourTable* table, std::uint8_t* indices) {
  // Locals, since stores through indices could alias anything else.
  const std::size_t width = image.width;
  const std::uint8_t* pixel = image.pixels.data() + first_row * width * 4;
  std::uint8_t* index_out = indices + first_row * width;
  std::uint32_t previous = pixel_at(pixel);
  int index = table->index_of(previous);
  if (index < 0) return false;
  for (std::uint32_t y = first_row; y < last_row; ++y) {
    if (too_many.load(std::memory_order_relaxed)) return true;
    for (std::size_t x = 0; x < width; ++x, pixel += 4) {
      const std::uint32_t colour = pixel_at(pixel);
      if (colour != previous) {
        index = table->index_of(colour);
        if (index < 0) return false;
        previous = colour;
      }
      *index_out++ = static_cast<std::uint8_t>(index);
    }
  }
  return true;
}

// Each pixel's index into its band's colours, one band per core, then the
// bands' colours merged in image order, so that the palette keeps the order
// of first appearance. False as soon as there are more than 256.
bool index_colours(const RgbaImage& image, std::uint8_t* indices, BandColours* bands,
                   std::size_t* band_count, ColourTable* all) {
  std::mutex band_lock;
  std::atomic<bool> too_many{false};
  for_each_band(image.height, 1, min_rows_per_band(image),
                [&](std::uint32_t first_row, std::uint32_t last_row) {
                  BandColours* band;
                  {
                    const std::lock_guard<std::mutex> hold(band_lock);
                    band = &bands[(*band_count)++];
                  }
                  band->first_row = first_row;
                  if (!index_band(image, first_row, last_row, too_many, &band->table, indices)) {
                    too_many = true;
                  }
                });
  if (too_many) return false;
  std::sort(bands, bands + *band_count,
            [](const BandColours& a, const BandColours& b) { return a.first_row < b.first_row; });
  for (std::size_t i = 0; i < *band_count; ++i) {
    const std::vector<std::uint32_t>& colours = bands[i].table.colours();
    for (std::size_t k = 0; k < colours.size(); ++k) {
      const int index = all->index_of(colours[k]);
      if (index < 0) return false;
      bands[i].palette_index[k] = static_cast<std::uint8_t>(index);
    }
  }
  return true;
}

// One row of band indices as palette indices, leftmost pixel in a byte's
// highest bits; the bits of pixels past the row's end stay 0.
template <unsigned kDepth, unsigned kCount>
unsigned packed_byte(const std::uint8_t* indices, const std::uint8_t* palette_index) {
  if constexpr (kCount == 1) {
    return palette_index[indices[0]];
  } else {
    return packed_byte<kDepth, kCount - 1>(indices, palette_index) << kDepth |
           palette_index[indices[kCount - 1]];
  }
}

template <unsigned kDepth>
void pack_row(const std::uint8_t* indices, std::uint32_t width, const std::uint8_t* palette_index,
              std::uint8_t* row) {
  constexpr unsigned kPerByte = 8 / kDepth;
  const std::uint32_t whole = width / kPerByte * kPerByte;
  for (std::uint32_t x = 0; x < whole; x += kPerByte) {
    *row++ = static_cast<std::uint8_t>(packed_byte<kDepth, kPerByte>(indices + x, palette_index));
  }
  if (whole == width) return;
  unsigned byte = 0;
  for (unsigned k = 0; k < kPerByte; ++k) {
    byte = (byte << kDepth) | (whole + k < width ? palette_index[indices[whole + k]] : 0u);
  }
  *row = static_cast<std::uint8_t>(byte);
}

void pack_row(unsigned depth, const std::uint8_t* indices, std::uint32_t width,
              const std::uint8_t* palette_index, std::uint8_t* row) {
  switch (depth) {
    case 1:
      return pack_row<1>(indices, width, palette_index, row);
    case 2:
      return pack_row<2>(indices, width, palette_index, row);
    case 4:
      return pack_row<4>(indices, width, palette_index, row);
    default:
      return pack_row<8>(indices, width, palette_index, row);
  }
}

bool paletted(const RgbaImage& image, PngPixels* out) {
  const std::size_t count = std::size_t{image.width} * image.height;
  std::unique_ptr<std::uint8_t[]> indices(new (std::nothrow) std::uint8_t[count]);
  if (!indices) return false;
  BandColours bands[kMaxBandThreads];
  std::size_t band_count = 0;
  ColourTable table;
  if (!index_colours(image, indices.get(), bands, &band_count, &table)) return false;
  const std::size_t size = table.colours().size();
  out->colour_type = kPngColourPalette;
  out->bit_depth = size <= 2 ? 1 : size <= 4 ? 2 : size <= 16 ? 4 : 8;
  out->filter_unit = 1;
  out->row_length = (std::size_t{image.width} * out->bit_depth + 7) / 8;
  out->rows.resize(out->row_length * image.height);
  for_each_band(image.height, 1, min_rows_per_band(image),
                [&](std::uint32_t first_row, std::uint32_t last_row) {
                  std::size_t band = 0;
                  for (std::uint32_t y = first_row; y < last_row; ++y) {
                    while (band + 1 < band_count && bands[band + 1].first_row <= y) ++band;
                    pack_row(out->bit_depth, &indices[std::size_t{y} * image.width], image.width,
                             bands[band].palette_index, &out->rows[y * out->row_length]);
                  }
                });
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

bool opaque(const RgbaImage& image) {
  std::atomic<bool> all_opaque{true};
  for_each_band(image.height, 1, min_rows_per_band(image),
                [&](std::uint32_t first_row, std::uint32_t last_row) {
                  const std::size_t end = std::size_t{last_row} * image.width * 4;
                  for (std::size_t i = std::size_t{first_row} * image.width * 4; i < end; i += 4) {
                    if (image.pixels[i + 3] != 255) {
                      all_opaque = false;
                      return;
                    }
                  }
                });
  return all_opaque;
}

}  // namespace

PngPixels reduce_for_png(const RgbaImage& image) {
  PngPixels out;
  if (paletted(image, &out)) return out;
  out = PngPixels{};
  if (!opaque(image)) {
    out.row_length = std::size_t{image.width} * 4;
    return out;
  }
  out.colour_type = kPngColourRgb;
  out.filter_unit = 3;
  out.row_length = std::size_t{image.width} * 3;
  out.rows.resize(out.row_length * image.height);
  for_each_band(image.height, 1, min_rows_per_band(image),
                [&](std::uint32_t first_row, std::uint32_t last_row) {
                  const std::size_t end = std::size_t{last_row} * image.width;
                  for (std::size_t i = std::size_t{first_row} * image.width; i < end; ++i) {
                    std::memcpy(&out.rows[i * 3], &image.pixels[i * 4], 3);
                  }
                });
  return out;
}

}  // namespace korvel::d3d9
