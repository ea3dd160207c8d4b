// GET /fs?dir=: the entries of one directory for the file dialogs (names,
// kinds and sizes, never contents), kept inside a root: a path that leaves
// it, once links and dot-dots are resolved, is refused.
#pragma once

#include <filesystem>
#include <string>

namespace korvel::display {

struct Listing {
  int status = 200;
  std::string body;  // JSON on 200, the reason otherwise
};

// dir: absolute, or relative to root; empty lists root.
Listing list_directory(const std::filesystem::path& root, const std::string& dir);

// The root the dialogs browse: the user's home when korvel runs inside it,
// else the directory korvel runs in.
std::filesystem::path default_browse_root();

}  // namespace korvel::display
