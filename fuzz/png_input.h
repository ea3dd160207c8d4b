// What fuzz_png does with one input, shared with the corpus replay test.
// Byte 0 steers: bits 0-1 the stored texture's format (DXT1, DXT3, DXT5,
// A8R8G8B8), bit 2 a full mip chain rather than one level. The rest is the
// PNG file a user picked to replace a texture of the picture's own size.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "file_layouts/dds_file.h"
#include "formats/png_replacement.h"
#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_decode.h"
#include "platform/d3d9/texture_encode.h"

namespace korvel::fuzz {

// Pictures beyond this many pixels are skipped before decoding: their rows
// take the same paths as small ones, only more often, and the DXT encoder
// at its best quality would dominate the run. Sides the decoder must refuse
// still reach it.
inline constexpr std::uint64_t kMaxFuzzPngPixels = 64 * 64;

inline std::uint32_t big_endian_word(const std::uint8_t* at) {
  return std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 |
         at[3];
}

// A stored texture of the given format and sides with levels levels of
// zero pixels, as load_stored_texture hands it over.
inline std::vector<std::uint8_t> stored_texture(int format, std::uint32_t width,
                                                std::uint32_t height, bool mip_chain) {
  using namespace d3d9;
  DdsFileHeader header{};
  header.magic = kDdsMagic;
  header.header.dwSize = kDdsHeaderStructSize;
  header.header.dwFlags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
  header.header.dwWidth = width;
  header.header.dwHeight = height;
  header.header.ddspf.dwSize = kDdsPixelFormatSize;
  header.header.dwCaps = kDdsCapsTexture;
  static const std::uint32_t kFourCc[3] = {kFourCcDxt1, kFourCcDxt3, kFourCcDxt5};
  static const DdsLayout kLayouts[4] = {kLayoutDxt1, kLayoutDxt3, kLayoutDxt5, kLayoutA8R8G8B8};
  if (format < 3) {
    header.header.ddspf.dwFlags = kDdpfFourCc;
    header.header.ddspf.dwFourCC = kFourCc[format];
  } else {
    header.header.ddspf.dwFlags = kDdpfRgb | kDdpfAlphaPixels;
    header.header.ddspf.dwRGBBitCount = 32;
    header.header.ddspf.dwRBitMask = 0x00FF0000;
    header.header.ddspf.dwGBitMask = 0x0000FF00;
    header.header.ddspf.dwBBitMask = 0x000000FF;
    header.header.ddspf.dwABitMask = 0xFF000000;
  }
  std::uint64_t pixel_bytes = 0;
  std::uint32_t levels = 0;
  for (std::uint32_t w = width, h = height;; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) {
    pixel_bytes += kLayouts[format].level_size(w, h);
    ++levels;
    if (!mip_chain || (w == 1 && h == 1) || levels == 15) break;
  }
  header.header.dwMipMapCount = levels;
  std::vector<std::uint8_t> dds(kDdsFileHeaderSize + pixel_bytes, 0);
  std::memcpy(dds.data(), &header, sizeof header);
  return dds;
}

// False when a law broke; the sanitizers catch the rest.
inline bool run_png_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return true;
  const std::uint8_t control = data[0];
  const std::vector<std::uint8_t> png(data + 1, data + size);
  // The sides of the header chunk, where a well-formed file keeps them.
  if (png.size() >= 24) {
    const std::uint64_t width = big_endian_word(png.data() + 16);
    const std::uint64_t height = big_endian_word(png.data() + 20);
    if (width <= d3d9::kMaxDdsSide && height <= d3d9::kMaxDdsSide &&
        width * height > kMaxFuzzPngPixels) {
      return true;
    }
  }
  d3d9::RgbaImage picture;
  const d3d9::ImageResult decoded = d3d9::decode_png(png.data(), png.size(), &picture);
  if (!decoded.ok()) return picture.pixels.empty() && !decoded.message.empty();
  if (picture.width == 0 || picture.height == 0 ||
      picture.pixels.size() != std::size_t{picture.width} * picture.height * 4) {
    return false;
  }

  // As a replacement for a texture of its size: laid out as that texture.
  const int format = control & 3;
  const std::vector<std::uint8_t> stored =
      stored_texture(format, picture.width, picture.height, (control & 4) != 0);
  std::vector<std::uint8_t> dds;
  std::string error;
  if (!dds_from_png(stored, png.data(), png.size(), &dds, &error)) return false;
  if (dds.size() != stored.size() || std::memcmp(dds.data(), stored.data(), 76) != 0 ||
      stored_mip_levels(dds.data(), dds.size()) !=
          stored_mip_levels(stored.data(), stored.size())) {
    return false;
  }
  d3d9::RgbaImage back;
  if (!d3d9::decode_dds_first_level(dds.data(), dds.size(), &back).ok() ||
      back.width != picture.width || back.height != picture.height) {
    return false;
  }
  // A8R8G8B8 keeps every value.
  return format != 3 || back.pixels == picture.pixels;
}

}  // namespace korvel::fuzz
