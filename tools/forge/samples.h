// The sample archives that `make run` browses and the end-to-end tests use.
#pragma once

#include <vector>

#include "tools/forge/archive_writer.h"

namespace korvel::forge {

std::vector<ForgeArchive> sample_archives();

}  // namespace korvel::forge
