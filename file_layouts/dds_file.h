// The DDS file as Direct3D reads and writes it: the magic "DDS ", the 124-byte
// header structure, then the pixel data of every mip level, largest first.
// Only the fields and values this program writes or reads are named. All
// fields are little-endian u32; the structs are copied to and from bytes as
// they stand, which the static_asserts below hold us to.
//
// The one home of this layout: the archive layer, the texture decoder and the
// image helpers all read it, so it lives below both and includes std only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvel {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "DDS headers are copied to and from bytes as little-endian structs");

constexpr std::uint32_t make_four_cc(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

constexpr std::uint32_t kDdsMagic = make_four_cc('D', 'D', 'S', ' ');
constexpr std::size_t kDdsMagicSize = 4;
// The header structure after the magic, as its dwSize states it.
constexpr std::uint32_t kDdsHeaderStructSize = 124;
constexpr std::uint32_t kDdsPixelFormatSize = 32;  // ddspf.dwSize
// The whole header of a file, magic and structure: where the pixels begin.
constexpr std::size_t kDdsFileHeaderSize = kDdsMagicSize + kDdsHeaderStructSize;

// dwFlags
constexpr std::uint32_t kDdsdCaps = 0x1;
constexpr std::uint32_t kDdsdHeight = 0x2;
constexpr std::uint32_t kDdsdWidth = 0x4;
constexpr std::uint32_t kDdsdPixelFormat = 0x1000;
constexpr std::uint32_t kDdsdLinearSize = 0x80000;

// ddspf.dwFlags
constexpr std::uint32_t kDdpfAlphaPixels = 0x1;
constexpr std::uint32_t kDdpfFourCc = 0x4;
constexpr std::uint32_t kDdpfRgb = 0x40;

// dwCaps
constexpr std::uint32_t kDdsCapsTexture = 0x1000;

constexpr std::uint32_t kFourCcDxt1 = make_four_cc('D', 'X', 'T', '1');
constexpr std::uint32_t kFourCcDxt3 = make_four_cc('D', 'X', 'T', '3');
constexpr std::uint32_t kFourCcDxt5 = make_four_cc('D', 'X', 'T', '5');
constexpr std::uint32_t kFourCcDx10 = make_four_cc('D', 'X', '1', '0');

struct DdsPixelFormat {
  std::uint32_t dwSize;
  std::uint32_t dwFlags;
  std::uint32_t dwFourCC;
  std::uint32_t dwRGBBitCount;
  std::uint32_t dwRBitMask;
  std::uint32_t dwGBitMask;
  std::uint32_t dwBBitMask;
  std::uint32_t dwABitMask;
};
static_assert(sizeof(DdsPixelFormat) == kDdsPixelFormatSize, "DDS_PIXELFORMAT is 32 bytes");

struct DdsHeader {
  std::uint32_t dwSize;
  std::uint32_t dwFlags;
  std::uint32_t dwHeight;
  std::uint32_t dwWidth;
  std::uint32_t dwPitchOrLinearSize;
  std::uint32_t dwDepth;
  std::uint32_t dwMipMapCount;
  std::uint32_t dwReserved1[11];
  DdsPixelFormat ddspf;
  std::uint32_t dwCaps;
  std::uint32_t dwCaps2;
  std::uint32_t dwCaps3;
  std::uint32_t dwCaps4;
  std::uint32_t dwReserved2;
};
static_assert(sizeof(DdsHeader) == kDdsHeaderStructSize, "DDS_HEADER is 124 bytes");

// What a DDS file begins with: the magic, then the header.
struct DdsFileHeader {
  std::uint32_t magic;
  DdsHeader header;
};
static_assert(sizeof(DdsFileHeader) == kDdsFileHeaderSize, "a DDS file's header is 128 bytes");
static_assert(offsetof(DdsFileHeader, header) == kDdsMagicSize, "the header follows the magic");
static_assert(4 + offsetof(DdsHeader, dwHeight) == 12, "dwHeight at 12");
static_assert(4 + offsetof(DdsHeader, dwWidth) == 16, "dwWidth at 16");
static_assert(4 + offsetof(DdsHeader, dwMipMapCount) == 28, "dwMipMapCount at 28");
static_assert(4 + offsetof(DdsHeader, ddspf) == 76, "ddspf at 76");
static_assert(4 + offsetof(DdsHeader, dwCaps) == 108, "dwCaps at 108");

// True when bytes (size of them) begin with the magic.
inline bool has_dds_magic(const std::uint8_t* bytes, std::size_t size) {
  return bytes != nullptr && size >= kDdsMagicSize &&
         std::memcmp(bytes, "DDS ", kDdsMagicSize) == 0;
}

// How one level's pixels are laid out: 4x4 blocks (DXT) or single pixels,
// each of unit_bytes.
struct DdsLayout {
  bool blocks;
  std::uint32_t unit_bytes;

  // Bytes of one level; 64-bit so that no product of 32-bit sides can wrap.
  constexpr std::uint64_t level_size(std::uint32_t width, std::uint32_t height) const {
    if (!blocks) return std::uint64_t{width} * height * unit_bytes;
    const std::uint64_t across = (std::uint64_t{width} + 3) / 4;
    const std::uint64_t down = (std::uint64_t{height} + 3) / 4;
    return (across > 0 ? across : 1) * (down > 0 ? down : 1) * unit_bytes;
  }

  // How many whole levels, from the largest down to 1x1, fit in size bytes.
  constexpr std::uint32_t levels_held(std::uint32_t width, std::uint32_t height,
                                      std::uint64_t size) const {
    std::uint32_t levels = 0;
    std::uint64_t used = 0;
    while (true) {
      used += level_size(width, height);
      if (used > size) break;
      ++levels;
      if (width <= 1 && height <= 1) break;
      width = width > 1 ? width / 2 : 1;
      height = height > 1 ? height / 2 : 1;
    }
    return levels;
  }
};

constexpr DdsLayout kLayoutA8R8G8B8{false, 4};
constexpr DdsLayout kLayoutDxt1{true, 8};
constexpr DdsLayout kLayoutDxt3{true, 16};
constexpr DdsLayout kLayoutDxt5{true, 16};

}  // namespace korvel
