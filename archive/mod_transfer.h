// Handing replacements to a friend: the replacements in effect in one
// archive become a mod file, and a mod file applies to another copy of the
// game's archive, on the same locked, checked, crash-safe path as a
// replacement, journaled so that each entry can be undone.
#pragma once

#include <string>

#include "archive/mod_file.h"

namespace korvel {

// The mod of every replacement in effect in the archive (per entry: the
// payload now in place, and the checksum of the one the first replacement
// replaced). False, with the reason, when there is none or one cannot be read.
bool export_mod(const std::string& index_path, ModFile* mod, std::string* error);

// Applies every entry of the mod or none: an entry whose current payload is
// not the one the mod replaced (another game version, or already applied)
// refuses the whole mod with nothing written. report lists what was done.
bool apply_mod(const std::string& index_path, const ModFile& mod, const std::string& mod_name,
               std::uint32_t mod_crc, std::string* report, std::string* error);

}  // namespace korvel
