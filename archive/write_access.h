// Whether files can be written in place. Archives open for reading only, so a
// replacement asks here before it writes anything.
#pragma once

#include <string>
#include <vector>

namespace korvel {

// Why one of the files cannot be written, naming it; "" when all can. A file
// without any write permission counts as read-only even for a user whom the
// system would let write it anyway (an administrator), as the read-only mark
// is the owner's word that it must not change.
std::string read_only_reason(const std::vector<std::string>& paths);

}  // namespace korvel
