// Putting a PNG picture in place of a texture: the picture is encoded into
// the stored texture's own format, size and mip count, and then replaces it
// exactly as a DDS file would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

// Largest PNG file read for a replacement: far above any texture of
// kMaxDdsSide (16384 x 16384) that a painting program writes compressed.
constexpr std::int64_t kMaxPngFileBytes = std::int64_t{1} << 30;

// The DDS file of the texture key names in the archive at index_path. False,
// with the reason, when the archive does not open or key names no texture.
bool load_stored_texture(const std::string& index_path, const std::string& key,
                         std::vector<std::uint8_t>* dds, std::string* error);

// How many levels the stored texture holds: its header's count (0 meaning 1),
// but no more than its pixel bytes hold whole, nor than a mip byte can say.
std::uint32_t stored_mip_levels(const std::uint8_t* dds, std::size_t size);

// The picture as a DDS file laid out as the stored texture. False, with the
// reason (both sizes for a size mismatch), when it cannot be.
bool dds_from_png(const std::vector<std::uint8_t>& stored_dds, const std::uint8_t* png,
                  std::size_t png_size, std::vector<std::uint8_t>* dds, std::string* error);

// The whole replacement. 1 replaced, 2 unchanged, 0 refused or failed (error
// says why; nothing is written then).
int replace_texture_with_png(const std::string& index_path, const std::string& key,
                             const std::string& png_path, std::string* error);

// True when path ends in ".png", in any letter case.
bool names_png_path(const std::string& path);

}  // namespace korvel
