#include "tools/forge/g1t_writer.h"

#include <squish.h>

#include <utility>

namespace korvel::forge {
namespace {

bool is_argb(std::uint8_t format) {
  return format == kG1tArgb0 || format == kG1tArgb;
}

int squish_flags_of(std::uint8_t format) {
  switch (format) {
    case kG1tDxt3:
      return squish::kDxt3;
    case kG1tDxt5:
      return squish::kDxt5;
    default:
      return squish::kDxt1;
  }
}

// A8R8G8B8 as a little-endian word per pixel: bytes B, G, R, A.
void append_argb(const d3d9::RgbaImage& image, Bytes* out) {
  for (std::size_t i = 0; i < image.pixels.size(); i += 4) {
    out->push_back(image.pixels[i + 2]);
    out->push_back(image.pixels[i + 1]);
    out->push_back(image.pixels[i + 0]);
    out->push_back(image.pixels[i + 3]);
  }
}

void append_blocks(const d3d9::RgbaImage& image, int flags, Bytes* out) {
  const std::size_t offset = out->size();
  out->resize(offset + static_cast<std::size_t>(squish::GetStorageRequirements(
                           static_cast<int>(image.width), static_cast<int>(image.height), flags)));
  squish::CompressImage(image.pixels.data(), static_cast<int>(image.width),
                        static_cast<int>(image.height), out->data() + offset,
                        flags | squish::kColourClusterFit);
}

}  // namespace

Bytes g1t_extension_pattern(int pattern) {
  const bool size_first = pattern == 1 || pattern == 2;
  Bytes bytes(12, 0);
  bytes[size_first ? 0 : 3] = 0x0C;
  bytes[11] = (pattern == 1 || pattern == 3) ? 1 : 0;
  return bytes;
}

Bytes texture_dds_pixels(const ForgeTexture& texture) {
  if (texture.pixels) return *texture.pixels;
  Bytes pixels;
  d3d9::RgbaImage level =
      render_picture(texture.picture, 1u << texture.width_log2, 1u << texture.height_log2);
  for (int i = 0; i < texture.mip_levels; ++i) {
    if (i > 0) level = half_size(level);
    if (is_argb(texture.format)) {
      append_argb(level, &pixels);
    } else {
      append_blocks(level, squish_flags_of(texture.format), &pixels);
    }
  }
  return pixels;
}

Bytes write_g1t(const ForgeG1t& container, bool big_endian) {
  ByteSink sink(big_endian);
  sink.text(container.magic_g1tg ? "G1TG" : "GT1G");
  sink.u32(0x30303630);
  const std::size_t total_size_at = sink.size();
  sink.u32(0);
  const std::uint32_t table_offset = static_cast<std::uint32_t>(20 + container.header_extra.size());
  sink.u32(table_offset);
  sink.u32(static_cast<std::uint32_t>(container.textures.size()));
  sink.raw(container.header_extra);
  const std::size_t table_at = sink.size();
  sink.zeros(4 * container.textures.size());
  sink.raw(container.global_data);
  for (std::size_t i = 0; i < container.textures.size(); ++i) {
    const ForgeTexture& texture = container.textures[i];
    sink.patch_u32(table_at + 4 * i, static_cast<std::uint32_t>(sink.size() - table_offset));
    const std::uint8_t levels = texture.mip_levels;
    sink.u8(texture.mip_byte ? *texture.mip_byte
                             : static_cast<std::uint8_t>(big_endian ? levels : levels << 4));
    sink.u8(texture.format);
    const std::uint8_t height_then_width =
        static_cast<std::uint8_t>(texture.height_log2 << 4 | texture.width_log2);
    const std::uint8_t width_then_height =
        static_cast<std::uint8_t>(texture.width_log2 << 4 | texture.height_log2);
    sink.u8(big_endian ? width_then_height : height_then_width);
    sink.u8(texture.record_byte3);
    sink.raw(texture.record_tail, 4);
    if (texture.extension != 0) sink.raw(g1t_extension_pattern(texture.extension));
    Bytes pixels = texture_dds_pixels(texture);
    // Big-endian "G1TG" containers hold A8R8G8B8 words byte-reversed.
    if (is_argb(texture.format) && big_endian && container.magic_g1tg) {
      for (std::size_t p = 0; p + 4 <= pixels.size(); p += 4) {
        std::swap(pixels[p], pixels[p + 3]);
        std::swap(pixels[p + 1], pixels[p + 2]);
      }
    }
    sink.raw(pixels);
  }
  sink.patch_u32(total_size_at, static_cast<std::uint32_t>(sink.size()));
  return sink.take();
}

Bytes expected_dds_file(const ForgeTexture& texture) {
  ByteSink dds(false);
  dds.text("DDS ");
  dds.u32(124);
  dds.u32(0x00081007);
  dds.u32(1u << texture.height_log2);
  dds.u32(1u << texture.width_log2);
  dds.u32(0);
  dds.u32(0);
  dds.u32(texture.mip_levels);
  dds.zeros(44);
  dds.u32(32);
  if (is_argb(texture.format)) {
    dds.u32(0x41);
    dds.u32(0);
    dds.u32(32);
    dds.u32(0x00FF0000);
    dds.u32(0x0000FF00);
    dds.u32(0x000000FF);
    dds.u32(0xFF000000);
  } else {
    dds.u32(0x4);
    dds.text(texture.format == kG1tDxt5 ? "DXT5" : texture.format == kG1tDxt3 ? "DXT3" : "DXT1");
    dds.zeros(20);
  }
  dds.u32(0x1000);
  dds.zeros(16);
  dds.raw(texture_dds_pixels(texture));
  return dds.take();
}

}  // namespace korvel::forge
