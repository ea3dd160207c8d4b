// Writing an extracted item to a file, as it came or as the PNG of its first
// level, for the extract commands.
#pragma once

#include <cstdint>
#include <string>

namespace korvel::cli {

// True when the path ends in ".png", in any letter case.
bool names_png_file(const std::string& path);

// Writes the item to path, creating missing folders on the way; with as_png,
// the PNG of the DDS item's first level instead. False with a reason.
bool write_item_file(const std::string& path, const std::uint8_t* item, std::uint32_t size,
                     bool as_png, std::string* error);

}  // namespace korvel::cli
