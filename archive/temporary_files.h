// The temporary files our writers put beside a file they replace, and the
// removal of those that a killed writer left behind.
#pragma once

#include <string>

namespace korvel {

// What follows the target's name in ours, before mkstemp's six characters.
inline constexpr const char* kTemporarySuffix = ".tmp-";

// The mkstemp template for a file that will replace target: its name, cut
// short enough that the template still fits a file name, then ".tmp-XXXXXX".
std::string temporary_template_for(const std::string& target_path);

// Removes the files beside target_path (through links, beside the file they
// lead to) that are named as our temporary files for it, and no others.
// Only a caller that holds the lock every writer of target holds may call it:
// then no such file belongs to a live writer. Answers how many were removed.
int remove_stale_temporaries(const std::string& target_path);

}  // namespace korvel
