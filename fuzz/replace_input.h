// What fuzz_replace does with one input, shared with the corpus replay test.
// Byte 0 steers: bit 0 big-endian, bits 1-2 how deep the texture sits
// (0: ".\00000000\N.dds", 1: one container further in, 2: two), bits 3-5
// the texture N, bit 6 a replacement whose side is doubled. The rest is the
// payload of the only entry of an archive written to scratch files. When
// that entry yields the texture, it is replaced by a picture of the same
// layout with every pixel byte inverted; the archive must then read back as
// the new texture (see reads_back_as), or, when the replacement is refused, be left
// byte for byte as it was. No scratch file of ours stays behind either way.
#pragma once

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/console_message.h"
#include "file_layouts/dds_file.h"
#include "formats/png_replacement.h"
#include "fuzz/g1t_input.h"
#include "fuzz/scratch_dir.h"
#include "tools/forge/archive_writer.h"

namespace korvel::fuzz {

inline void quiet_replace_message(const char*) {}

inline std::string replace_key(std::uint8_t control) {
  static const char* const kFolders[4] = {"", "0\\", "0\\0\\", "0\\0\\0\\"};
  return std::string(".\\00000000\\") + kFolders[(control >> 1) & 3] +
         std::to_string((control >> 3) & 7) + ".dds";
}

// The texture key names, or empty when the archive yields none there.
inline std::vector<std::uint8_t> load_texture(const std::string& index, const std::string& key) {
  Archive archive;
  std::vector<std::uint8_t> dds;
  if (archive.open(index.c_str()) == 1 && archive.load_entry(key.c_str()) == 1 &&
      archive.image_size >= kDdsFileHeaderSize &&
      std::memcmp(archive.image.data(), "DDS ", 4) == 0) {
    dds.assign(archive.image.begin(), archive.image.begin() + archive.image_size);
  }
  archive.release();
  return dds;
}

// The texture read back after a replacement is the one given: the same
// header (its mip count aside, which the record keeps as the levels held) and
// the same pixels, with every level; only bytes after the last level may be
// dropped.
inline bool reads_back_as(const std::vector<std::uint8_t>& back,
                          const std::vector<std::uint8_t>& texture) {
  constexpr std::size_t kMipCountAt = 28;
  if (back.size() < kDdsFileHeaderSize || back.size() > texture.size()) return false;
  if (std::memcmp(back.data(), texture.data(), kMipCountAt) != 0 ||
      std::memcmp(back.data() + kMipCountAt + 4, texture.data() + kMipCountAt + 4,
                  back.size() - kMipCountAt - 4) != 0) {
    return false;
  }
  return stored_mip_levels(back.data(), back.size()) ==
         stored_mip_levels(texture.data(), texture.size());
}

// False when a law broke; the sanitizers catch the rest.
inline bool run_replace_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return true;
  set_console_message_handler(&quiet_replace_message);
  const std::uint8_t control = data[0];
  if (lists_too_many_textures(data + 1, size - 1, (control & 1) != 0)) return true;
  // A folder of its own, so that the files of other harnesses in the same
  // process do not count as left behind.
  static const std::string folder = [] {
    const std::string path = scratch_dir().file("replace");
    std::filesystem::create_directories(path);
    return path;
  }();
  // The journal of the previous input's replacement is not this archive's.
  std::filesystem::remove(folder + "/arc.journal");
  forge::ForgeArchive forged;
  forged.name = "arc";
  forged.big_endian = (control & 1) != 0;
  forged.entries.push_back(forge::ForgeEntry{forge::Bytes(data + 1, data + size)});
  std::string error;
  if (!forge::write_archive(folder, forged, &error)) std::abort();
  const std::string index = folder + "/arc.idx";
  const std::string key = replace_key(control);

  const std::vector<std::uint8_t> stored = load_texture(index, key);
  if (stored.empty()) return true;
  std::vector<std::uint8_t> texture = stored;
  for (std::size_t i = kDdsFileHeaderSize; i < texture.size(); ++i) texture[i] ^= 0xFF;
  if (control & 0x40) {  // the same pixel bytes declared as a texture twice as wide
    std::uint32_t width = 0;
    std::memcpy(&width, texture.data() + 16, 4);
    width *= 2;
    std::memcpy(texture.data() + 16, &width, 4);
  }

  const std::vector<std::uint8_t> index_before = read_scratch_file(index);
  const std::vector<std::uint8_t> data_before = read_scratch_file(folder + "/arc.bin");
  Archive archive;
  int replaced = 0;
  if (archive.open(index.c_str()) == 1) {
    archive.image = texture;
    archive.image_size = static_cast<std::uint32_t>(texture.size());
    archive.image.resize(texture.size() + kImageZeroTail, 0);
    replaced = archive.replace_entry_with_image(key.c_str());
  }
  archive.release();

  // Nothing of ours is left behind: the index and the data file, and the
  // journal exactly when a replacement went through.
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& file : std::filesystem::directory_iterator(folder)) ++files;
  const bool journaled = std::filesystem::exists(folder + "/arc.journal");
  if (journaled != (replaced == 1) || files != (journaled ? 3u : 2u)) return false;
  if (replaced == 1) return reads_back_as(load_texture(index, key), texture);
  return read_scratch_file(index) == index_before &&
         read_scratch_file(folder + "/arc.bin") == data_before;
}

}  // namespace korvel::fuzz
