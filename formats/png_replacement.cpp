#include "formats/png_replacement.h"

#include <cstring>

#include "archive/archive.h"
#include "archive/content_tree.h"
#include "archive/file_io.h"
#include "archive/format_text.h"
#include "file_layouts/dds_file.h"
#include "platform/d3d9/png_decode.h"
#include "platform/d3d9/texture_encode.h"

namespace korvel {
namespace {

// A G1T record keeps the mip count in a nibble.
constexpr std::uint32_t kMaxMipLevels = 15;

bool read_png_file(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error) {
  const std::int64_t size = file_size64(path.c_str());
  if (size <= 0) {
    *error = size < 0 ? "cannot read " + path : path + " is empty";
    return false;
  }
  if (size > kMaxPngFileBytes) {
    *error = format_text("%s is larger than %lld bytes", path.c_str(),
                         static_cast<long long>(kMaxPngFileBytes));
    return false;
  }
  bytes->assign(static_cast<std::size_t>(size), 0);
  if (read_file_part(path.c_str(), bytes->data(), 0, bytes->size()) != size) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

}  // namespace

bool load_stored_texture(const std::string& index_path, const std::string& key,
                         std::vector<std::uint8_t>* dds, std::string* error) {
  dds->clear();
  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *error = "cannot open " + index_path + ": " + archive.error;
    archive.release();
    return false;
  }
  const bool loaded = archive.load_entry(key.c_str()) == 1;
  const bool is_texture = loaded && archive.image_size >= kDdsFileHeaderSize &&
                          has_dds_magic(archive.image.data(), archive.image_size);
  if (is_texture) {
    dds->assign(archive.image.begin(), archive.image.begin() + archive.image_size);
  } else {
    *error = key + " names no texture of its entry";
    if (!archive.error.empty()) *error += " (" + archive.error + ")";
  }
  archive.release();
  return is_texture;
}

std::uint32_t stored_mip_levels(const std::uint8_t* dds, std::size_t size) {
  if (size < kDdsFileHeaderSize) return 1;
  DdsFileHeader header;
  std::memcpy(&header, dds, sizeof header);
  d3d9::TextureFormat format{};
  if (!d3d9::texture_format_of(header, &format)) return 1;
  const DdsLayout layout = format == d3d9::TextureFormat::kDxt1   ? kLayoutDxt1
                           : format == d3d9::TextureFormat::kDxt3 ? kLayoutDxt3
                           : format == d3d9::TextureFormat::kDxt5 ? kLayoutDxt5
                                                                  : kLayoutA8R8G8B8;
  // The header's count comes from a mip byte whose nibbles were exchanged
  // whole, so a stray low nibble can make it far larger than the levels
  // stored; the bytes decide then.
  std::uint32_t levels = header.header.dwMipMapCount > 0 ? header.header.dwMipMapCount : 1;
  const std::uint32_t held =
      layout.levels_held(header.header.dwWidth, header.header.dwHeight, size - kDdsFileHeaderSize);
  if (levels > held) levels = held;
  if (levels > kMaxMipLevels) levels = kMaxMipLevels;
  return levels > 0 ? levels : 1;
}

bool dds_from_png(const std::vector<std::uint8_t>& stored_dds, const std::uint8_t* png,
                  std::size_t png_size, std::vector<std::uint8_t>* dds, std::string* error) {
  dds->clear();
  if (stored_dds.size() < kDdsFileHeaderSize) {
    *error = "the stored texture has no DDS header";
    return false;
  }
  DdsFileHeader header;
  std::memcpy(&header, stored_dds.data(), sizeof header);
  d3d9::TextureFormat format{};
  if (!d3d9::texture_format_of(header, &format)) {
    *error = "the stored texture's pixel format cannot be encoded from a picture";
    return false;
  }
  d3d9::RgbaImage picture;
  const d3d9::ImageResult decoded = d3d9::decode_png(png, png_size, &picture);
  if (!decoded.ok()) {
    *error = decoded.message;
    return false;
  }
  // No silent resizing: a picture of another size is the wrong picture.
  if (picture.width != header.header.dwWidth || picture.height != header.header.dwHeight) {
    *error = format_text("the picture is %ux%u; the texture is %ux%u", picture.width,
                         picture.height, header.header.dwWidth, header.header.dwHeight);
    return false;
  }
  const std::uint32_t levels = stored_mip_levels(stored_dds.data(), stored_dds.size());
  const d3d9::ImageResult encoded = d3d9::encode_dds(header, levels, picture, dds);
  if (!encoded.ok()) {
    *error = encoded.message;
    return false;
  }
  return true;
}

int replace_texture_with_png(const std::string& index_path, const std::string& key,
                             const std::string& png_path, std::string* error) {
  std::vector<std::uint8_t> stored;
  if (!load_stored_texture(index_path, key, &stored, error)) return 0;
  std::vector<std::uint8_t> png;
  if (!read_png_file(png_path, &png, error)) return 0;
  std::vector<std::uint8_t> dds;
  if (!dds_from_png(stored, png.data(), png.size(), &dds, error)) return 0;

  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *error = "cannot open " + index_path + ": " + archive.error;
    archive.release();
    return 0;
  }
  archive.image_size = static_cast<std::uint32_t>(dds.size());
  archive.image = std::move(dds);
  archive.image.resize(archive.image.size() + kImageZeroTail, 0);
  const int result = archive.replace_entry_with_image(key.c_str());
  if (result == 0) *error = archive.error.empty() ? "the replacement was refused" : archive.error;
  archive.release();
  return result;
}

bool names_png_path(const std::string& path) {
  return path.size() >= 4 && keys_equal(path.substr(path.size() - 4), ".png");
}

}  // namespace korvel
