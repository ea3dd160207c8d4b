// Writes G1T texture containers holding real pictures: DXT1/DXT3/DXT5 blocks
// made with libsquish or A8R8G8B8 words, with mip chains, either magic, any of
// the four extension patterns, in either byte order.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/forge/byte_sink.h"
#include "tools/forge/pictures.h"

namespace korvel::forge {

// The format codes a G1T record holds (0 and 1 are both A8R8G8B8).
enum G1tFormatCode : std::uint8_t {
  kG1tArgb0 = 0,
  kG1tArgb = 1,
  kG1tDxt1 = 6,
  kG1tDxt3 = 7,
  kG1tDxt5 = 8,
};

struct ForgeTexture {
  std::uint8_t format = kG1tDxt1;
  std::uint8_t width_log2 = 6;
  std::uint8_t height_log2 = 6;
  std::uint8_t mip_levels = 1;  // 1 .. the full chain
  Picture picture = Picture::kGradient;
  int extension = 0;  // 0: none; 1 .. 4: that extension pattern follows the record
  std::uint8_t record_byte3 = 0;
  std::uint8_t record_tail[4] = {0, 0, 0, 0};  // record bytes 4 .. 7
  // Stored as is instead of the mip byte the writer derives: mip_levels in the
  // high nibble little-endian, in the low nibble big-endian, as the game's own
  // containers have it.
  std::optional<std::uint8_t> mip_byte;
  // Pixel bytes to store instead of the picture (in DDS order; the writer
  // still reverses A8R8G8B8 words where the container needs it).
  std::optional<Bytes> pixels;
};

struct ForgeG1t {
  bool magic_g1tg = true;  // "G1TG", else "GT1G"
  Bytes header_extra;      // bytes after the 20-byte header, before the table
  Bytes global_data;       // bytes between the table and the first texture
  std::vector<ForgeTexture> textures;
};

// The 12 bytes of extension pattern 1 .. 4.
Bytes g1t_extension_pattern(int pattern);

// A texture's pixel data as a DDS file holds them: every level, largest first.
Bytes texture_dds_pixels(const ForgeTexture& texture);

// The whole container, in the archive's byte order.
Bytes write_g1t(const ForgeG1t& container, bool big_endian);

// A DDS file of the texture (written here field by field, not with the
// decoder's templates): what extracting it should give, and a replacement to
// put back. The mip count is mip_levels.
Bytes expected_dds_file(const ForgeTexture& texture);

}  // namespace korvel::forge
