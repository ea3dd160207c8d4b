#include "platform/d3d9/dds_decode.h"

#include <squish.h>

#include <cstring>
#include <new>
#include <string>

#include "file_layouts/dds_file.h"
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

std::uint32_t min_rows_per_band(std::uint32_t width) {
  return kMinPixelsPerBand / width + 1;
}

// Rows [first_row, last_row) of an uncompressed level.
void decode_masked_rows(const DdsPixelFormat& format, const std::uint8_t* pixels,
                        std::uint32_t bytes_per_pixel, RgbaImage* image, std::uint32_t first_row,
                        std::uint32_t last_row) {
  const Channel red(format.dwRBitMask), green(format.dwGBitMask), blue(format.dwBBitMask);
  // Without the alpha flag the alpha mask is not meaningful (X8R8G8B8).
  const Channel alpha((format.dwFlags & kDdpfAlphaPixels) != 0 ? format.dwABitMask : 0);
  const std::size_t first = std::size_t{image->width} * first_row;
  const std::size_t count = std::size_t{image->width} * (last_row - first_row);
  pixels += first * bytes_per_pixel;
  std::uint8_t* out = image->pixels.data() + first * 4;
  for (std::size_t i = 0; i < count; ++i, pixels += bytes_per_pixel, out += 4) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, pixels, bytes_per_pixel);
    out[0] = red.value(pixel, 0);
    out[1] = green.value(pixel, 0);
    out[2] = blue.value(pixel, 0);
    out[3] = alpha.value(pixel, 255);
  }
}

}  // namespace

ImageResult decode_dds_first_level(const std::uint8_t* file, std::size_t size, RgbaImage* image) {
  *image = RgbaImage{};
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
  int squish_flags = 0;
  DdsLayout layout{};
  if ((format.dwFlags & kDdpfFourCc) != 0) {
    switch (format.dwFourCC) {
      case kFourCcDxt1:
        squish_flags = squish::kDxt1, layout = kLayoutDxt1;
        break;
      case kFourCcDxt3:
        squish_flags = squish::kDxt3, layout = kLayoutDxt3;
        break;
      case kFourCcDxt5:
        squish_flags = squish::kDxt5, layout = kLayoutDxt5;
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

  RgbaImage decoded;
  decoded.width = header.dwWidth;
  decoded.height = header.dwHeight;
  resize_fresh_buffer(&decoded.pixels, std::size_t{decoded.width} * decoded.height * 4);
  const std::uint8_t* pixels = file + kDdsFileHeaderSize;
  const std::uint32_t width = decoded.width;
  // Bands of whole block rows decode independently, so every core takes one.
  const std::uint32_t granule = squish_flags != 0 ? 4 : 1;
  const std::uint64_t bytes_per_granule = layout.level_size(width, granule);
  for_each_band(
      decoded.height, granule, min_rows_per_band(width),
      [&](std::uint32_t first_row, std::uint32_t last_row) {
        if (squish_flags == 0) {
          decode_masked_rows(format, pixels, layout.unit_bytes, &decoded, first_row, last_row);
          return;
        }
        squish::DecompressImage(decoded.pixels.data() + std::size_t{width} * first_row * 4,
                                static_cast<int>(width), static_cast<int>(last_row - first_row),
                                pixels + first_row / granule * bytes_per_granule, squish_flags);
      });
  *image = std::move(decoded);
  return {};
}

}  // namespace korvel::d3d9
