#include "platform/d3d9/texture_encode.h"

#include <squish.h>

#include <cstring>
#include <string>

#include "platform/d3d9/dds_decode.h"

namespace korvel::d3d9 {
namespace {

// The channel masks of the A8R8G8B8 layout: bytes B, G, R, A in memory.
constexpr std::uint32_t kRedMask = 0x00FF0000;
constexpr std::uint32_t kGreenMask = 0x0000FF00;
constexpr std::uint32_t kBlueMask = 0x000000FF;
constexpr std::uint32_t kAlphaMask = 0xFF000000;

DdsLayout layout_of(TextureFormat format) {
  switch (format) {
    case TextureFormat::kDxt1:
      return kLayoutDxt1;
    case TextureFormat::kDxt3:
      return kLayoutDxt3;
    case TextureFormat::kDxt5:
      return kLayoutDxt5;
    case TextureFormat::kA8R8G8B8:
      break;
  }
  return kLayoutA8R8G8B8;
}

int squish_flags_of(TextureFormat format) {
  const int best = squish::kColourIterativeClusterFit;
  switch (format) {
    case TextureFormat::kDxt1:
      return squish::kDxt1 | best;
    case TextureFormat::kDxt3:
      return squish::kDxt3 | best;
    case TextureFormat::kDxt5:
      return squish::kDxt5 | best;
    case TextureFormat::kA8R8G8B8:
      break;
  }
  return 0;
}

void append_level(TextureFormat format, const RgbaImage& level, std::vector<std::uint8_t>* out) {
  const std::size_t start = out->size();
  out->resize(start + layout_of(format).level_size(level.width, level.height));
  std::uint8_t* target = out->data() + start;
  if (format == TextureFormat::kA8R8G8B8) {
    const std::size_t count = std::size_t{level.width} * level.height;
    const std::uint8_t* rgba = level.pixels.data();
    for (std::size_t i = 0; i < count; ++i, rgba += 4, target += 4) {
      target[0] = rgba[2];
      target[1] = rgba[1];
      target[2] = rgba[0];
      target[3] = rgba[3];
    }
    return;
  }
  squish::CompressImage(level.pixels.data(), static_cast<int>(level.width),
                        static_cast<int>(level.height), target, squish_flags_of(format));
}

}  // namespace

bool texture_format_of(const DdsFileHeader& header, TextureFormat* format) {
  const DdsPixelFormat& pixel = header.header.ddspf;
  if ((pixel.dwFlags & kDdpfFourCc) != 0) {
    switch (pixel.dwFourCC) {
      case kFourCcDxt1:
        *format = TextureFormat::kDxt1;
        return true;
      case kFourCcDxt3:
        *format = TextureFormat::kDxt3;
        return true;
      case kFourCcDxt5:
        *format = TextureFormat::kDxt5;
        return true;
      default:
        return false;
    }
  }
  if ((pixel.dwFlags & kDdpfRgb) != 0 && pixel.dwRGBBitCount == 32 &&
      pixel.dwRBitMask == kRedMask && pixel.dwGBitMask == kGreenMask &&
      pixel.dwBBitMask == kBlueMask && pixel.dwABitMask == kAlphaMask) {
    *format = TextureFormat::kA8R8G8B8;
    return true;
  }
  return false;
}

const char* texture_format_name(TextureFormat format) {
  switch (format) {
    case TextureFormat::kDxt1:
      return "DXT1";
    case TextureFormat::kDxt3:
      return "DXT3";
    case TextureFormat::kDxt5:
      return "DXT5";
    case TextureFormat::kA8R8G8B8:
      break;
  }
  return "A8R8G8B8";
}

RgbaImage box_filter_half(const RgbaImage& image) {
  RgbaImage half;
  half.width = image.width > 1 ? image.width / 2 : 1;
  half.height = image.height > 1 ? image.height / 2 : 1;
  half.pixels.resize(std::size_t{half.width} * half.height * 4);
  // Source columns and rows each output pixel covers: two, or one where that
  // side is already 1.
  const std::uint32_t step_x = image.width > 1 ? 2 : 1;
  const std::uint32_t step_y = image.height > 1 ? 2 : 1;
  const std::uint32_t count = step_x * step_y;
  for (std::uint32_t y = 0; y < half.height; ++y) {
    for (std::uint32_t x = 0; x < half.width; ++x) {
      for (std::uint32_t channel = 0; channel < 4; ++channel) {
        std::uint32_t sum = 0;
        for (std::uint32_t dy = 0; dy < step_y; ++dy) {
          for (std::uint32_t dx = 0; dx < step_x; ++dx) {
            const std::size_t source =
                (std::size_t{y * step_y + dy} * image.width + x * step_x + dx) * 4 + channel;
            sum += image.pixels[source];
          }
        }
        half.pixels[(std::size_t{y} * half.width + x) * 4 + channel] =
            static_cast<std::uint8_t>((sum + count / 2) / count);
      }
    }
  }
  return half;
}

ImageResult encode_dds(const DdsFileHeader& model, std::uint32_t levels, const RgbaImage& image,
                       std::vector<std::uint8_t>* dds) {
  dds->clear();
  TextureFormat format{};
  if (!texture_format_of(model, &format)) {
    return {ImageStatus::kUnsupported, "the texture's pixel format is not one we encode"};
  }
  if (image.width != model.header.dwWidth || image.height != model.header.dwHeight ||
      image.width == 0 || image.height == 0 || image.width > kMaxDdsSide ||
      image.height > kMaxDdsSide ||
      image.pixels.size() != std::size_t{image.width} * image.height * 4) {
    return {ImageStatus::kCorrupt, "the picture's size does not match the texture's header"};
  }
  const DdsLayout layout = layout_of(format);
  const std::uint32_t chain = layout.levels_held(image.width, image.height, UINT64_MAX);
  if (levels == 0 || levels > chain) {
    return {ImageStatus::kUnsupported, std::to_string(levels) + " mip levels asked of a " +
                                           std::to_string(image.width) + "x" +
                                           std::to_string(image.height) + " texture"};
  }
  DdsFileHeader header = model;
  header.header.dwMipMapCount = levels;
  dds->resize(kDdsFileHeaderSize);
  std::memcpy(dds->data(), &header, kDdsFileHeaderSize);
  RgbaImage level = image;
  for (std::uint32_t i = 0; i < levels; ++i) {
    if (i > 0) level = box_filter_half(level);
    append_level(format, level, dds);
  }
  return {};
}

}  // namespace korvel::d3d9
