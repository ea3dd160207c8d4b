#include "platform/d3d9/dds_decode.h"

#include <cstring>
#include <new>
#include <string>

#include "file_layouts/dds_file.h"
#include "platform/d3d9/dxt_blocks.h"
#include "platform/d3d9/fresh_buffer.h"
#include "platform/d3d9/parallel_bands.h"

namespace korvel::d3d9 {
namespace {

ImageResult fail(ImageStatus status, std::string message) {
  return {status, std::move(message)};
}

std::string four_cc_text(std::uint32_t four_cc) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = static_cast<char>((four_cc >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

// One colour channel of an uncompressed pixel: where its mask sits and how
// far its values reach, so that any width of channel scales to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t maximum = 0;

  explicit Channel(std::uint32_t channel_mask) : mask(channel_mask) {
    if (mask == 0) return;
    shift = __builtin_ctz(mask);
    maximum = mask >> shift;
  }

  std::uint8_t value(std::uint32_t pixel, std::uint8_t absent) const {
    if (mask == 0) return absent;
    const std::uint64_t raw = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((raw * 255 + maximum / 2) / maximum);
  }
};

// Below this many pixels a texture is decoded on the caller's thread alone:
// starting a thread would cost more than it saves.
constexpr std::uint32_t kMinPixelsPerBand = 1u << 18;

// The channels of an uncompressed level's pixels.
struct MaskedChannels {
  Channel red, green, blue, alpha;

  explicit MaskedChannels(const DdsPixelFormat& format)
      : red(format.dwRBitMask),
        green(format.dwGBitMask),
        blue(format.dwBBitMask),
        // Without the alpha flag the alpha mask is not meaningful (X8R8G8B8).
        alpha((format.dwFlags & kDdpfAlphaPixels) != 0 ? format.dwABitMask : 0) {}
};

std::uint32_t load_pixel(const std::uint8_t* bytes, std::uint32_t bytes_per_pixel) {
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, bytes, bytes_per_pixel);
  return pixel;
}

// Rows [first_row, last_row) of an uncompressed level.
void decode_masked_rows(const DdsLevel& level, std::uint32_t first_row, std::uint32_t last_row,
                        std::uint8_t* out) {
  const MaskedChannels channels(level.format);
  const std::size_t count = std::size_t{level.width} * (last_row - first_row);
  const std::uint8_t* pixels =
      level.pixels + std::size_t{level.width} * first_row * level.unit_bytes;
  for (std::size_t i = 0; i < count; ++i, pixels += level.unit_bytes, out += 4) {
    const std::uint32_t pixel = load_pixel(pixels, level.unit_bytes);
    out[0] = channels.red.value(pixel, 0);
    out[1] = channels.green.value(pixel, 0);
    out[2] = channels.blue.value(pixel, 0);
    out[3] = channels.alpha.value(pixel, 255);
  }
}

}  // namespace

ImageResult find_dds_first_level(const std::uint8_t* file, std::size_t size, DdsLevel* level) {
  *level = DdsLevel{};
  if (file == nullptr || size < kDdsFileHeaderSize) {
    return fail(ImageStatus::kCorrupt, "shorter than the 128-byte DDS header");
  }
  DdsFileHeader dds;
  std::memcpy(&dds, file, sizeof dds);
  const DdsHeader& header = dds.header;
  if (dds.magic != kDdsMagic) return fail(ImageStatus::kCorrupt, "no \"DDS \" magic");
  if (header.dwSize != kDdsHeaderStructSize || header.ddspf.dwSize != kDdsPixelFormatSize) {
    return fail(ImageStatus::kCorrupt, "header or pixel format has the wrong size field");
  }
  if (header.dwWidth == 0 || header.dwHeight == 0) {
    return fail(ImageStatus::kCorrupt, "width or height is 0");
  }
  if (header.dwWidth > kMaxDdsSide || header.dwHeight > kMaxDdsSide) {
    return fail(ImageStatus::kUnsupported, "width or height beyond " + std::to_string(kMaxDdsSide));
  }

  const DdsPixelFormat& format = header.ddspf;
  bool blocks = false;
  DxtKind kind = DxtKind::kDxt1;
  DdsLayout layout{};
  if ((format.dwFlags & kDdpfFourCc) != 0) {
    switch (format.dwFourCC) {
      case kFourCcDxt1:
        blocks = true, kind = DxtKind::kDxt1, layout = kLayoutDxt1;
        break;
      case kFourCcDxt3:
        blocks = true, kind = DxtKind::kDxt3, layout = kLayoutDxt3;
        break;
      case kFourCcDxt5:
        blocks = true, kind = DxtKind::kDxt5, layout = kLayoutDxt5;
        break;
      default:
        return fail(ImageStatus::kUnsupported,
                    "pixel format \"" + four_cc_text(format.dwFourCC) + "\" is not supported");
    }
  } else if ((format.dwFlags & kDdpfRgb) != 0) {
    if (format.dwRGBBitCount != 32 && format.dwRGBBitCount != 24) {
      return fail(ImageStatus::kUnsupported,
                  std::to_string(format.dwRGBBitCount) + "-bit RGB pixels are not supported");
    }
    layout = DdsLayout{false, format.dwRGBBitCount / 8};
  } else {
    return fail(ImageStatus::kUnsupported, "pixel format is neither RGB nor DXT");
  }

  const std::uint64_t level_size = layout.level_size(header.dwWidth, header.dwHeight);
  if (level_size > size - kDdsFileHeaderSize) {
    return fail(ImageStatus::kCorrupt,
                "pixel data hold " + std::to_string(size - kDdsFileHeaderSize) + " of the " +
                    std::to_string(level_size) + " bytes of the first level");
  }

  DdsLevel found;
  found.width = header.dwWidth;
  found.height = header.dwHeight;
  found.pixels = file + kDdsFileHeaderSize;
  found.format = format;
  found.blocks = blocks;
  found.kind = kind;
  found.unit_bytes = layout.unit_bytes;
  found.granule = blocks ? 4 : 1;
  found.min_rows_per_band = kMinPixelsPerBand / found.width + 1;
  *level = found;
  return {};
}

void decode_dds_rows(const DdsLevel& level, std::uint32_t first_row, std::uint32_t last_row,
                     std::uint8_t* rgba) {
  if (!level.blocks) {
    decode_masked_rows(level, first_row, last_row, rgba);
    return;
  }
  const std::size_t blocks_across = (std::size_t{level.width} + 3) / 4;
  decode_dxt_image(rgba, level.width, last_row - first_row,
                   level.pixels + first_row / 4 * blocks_across * level.unit_bytes, level.kind);
}

bool dds_level_opaque(const DdsLevel& level) {
  if (level.blocks) return dxt_image_opaque(level.width, level.height, level.pixels, level.kind);
  const MaskedChannels channels(level.format);
  if (channels.alpha.mask == 0) return true;
  const std::size_t count = std::size_t{level.width} * level.height;
  const std::uint8_t* pixels = level.pixels;
  for (std::size_t i = 0; i < count; ++i, pixels += level.unit_bytes) {
    if (channels.alpha.value(load_pixel(pixels, level.unit_bytes), 255) != 255) return false;
  }
  return true;
}

ImageResult decode_dds_first_level(const std::uint8_t* file, std::size_t size, RgbaImage* image) {
  *image = RgbaImage{};
  DdsLevel level;
  ImageResult result = find_dds_first_level(file, size, &level);
  if (!result.ok()) return result;
  RgbaImage decoded;
  decoded.width = level.width;
  decoded.height = level.height;
  resize_fresh_buffer(&decoded.pixels, std::size_t{decoded.width} * decoded.height * 4);
  // Bands of whole block rows decode independently, so every core takes one.
  for_each_band(level.height, level.granule, level.min_rows_per_band,
                [&](std::uint32_t first_row, std::uint32_t last_row) {
                  decode_dds_rows(level, first_row, last_row,
                                  decoded.pixels.data() + std::size_t{level.width} * first_row * 4);
                });
  *image = std::move(decoded);
  return {};
}

}  // namespace korvel::d3d9
