// The four DDS headers an extracted texture begins with. Extraction copies one
// and patches only dwHeight, dwWidth and dwMipMapCount; no mipmap flag is set,
// whatever the count.
#pragma once

#include <cstdint>

#include "file_layouts/dds_file.h"

namespace korvel {

using DdsTemplate = DdsFileHeader;

constexpr DdsTemplate make_dds_template(std::uint32_t format_flags, std::uint32_t four_cc,
                                        std::uint32_t bit_count, std::uint32_t red_mask,
                                        std::uint32_t green_mask, std::uint32_t blue_mask,
                                        std::uint32_t alpha_mask) {
  DdsTemplate file{};
  file.magic = kDdsMagic;
  file.header.dwSize = kDdsHeaderStructSize;
  file.header.dwFlags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat | kDdsdLinearSize;
  file.header.ddspf.dwSize = kDdsPixelFormatSize;
  file.header.ddspf.dwFlags = format_flags;
  file.header.ddspf.dwFourCC = four_cc;
  file.header.ddspf.dwRGBBitCount = bit_count;
  file.header.ddspf.dwRBitMask = red_mask;
  file.header.ddspf.dwGBitMask = green_mask;
  file.header.ddspf.dwBBitMask = blue_mask;
  file.header.ddspf.dwABitMask = alpha_mask;
  file.header.dwCaps = kDdsCapsTexture;
  return file;
}

inline constexpr DdsTemplate kDdsTemplateA8R8G8B8 = make_dds_template(
    kDdpfRgb | kDdpfAlphaPixels, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
inline constexpr DdsTemplate kDdsTemplateDxt1 =
    make_dds_template(kDdpfFourCc, kFourCcDxt1, 0, 0, 0, 0, 0);
inline constexpr DdsTemplate kDdsTemplateDxt3 =
    make_dds_template(kDdpfFourCc, kFourCcDxt3, 0, 0, 0, 0, 0);
inline constexpr DdsTemplate kDdsTemplateDxt5 =
    make_dds_template(kDdpfFourCc, kFourCcDxt5, 0, 0, 0, 0, 0);

static_assert(kDdsTemplateDxt1.header.dwFlags == 0x00081007, "caps, height, width, format, size");
static_assert(kDdsTemplateA8R8G8B8.header.ddspf.dwFlags == 0x41, "RGB with alpha pixels");

}  // namespace korvel
