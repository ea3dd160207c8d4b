#include "platform/display/directory_listing.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/limits.h"

namespace korvel::display {

namespace fs = std::filesystem;

namespace {

bool inside(const fs::path& root, const fs::path& path) {
  const auto [root_end, path_at] =
      std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return root_end == root.end();
}

}  // namespace

fs::path default_browse_root() {
  std::error_code error;
  const fs::path here = fs::current_path(error);
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != 0) {
    const fs::path home_path = fs::weakly_canonical(home, error);
    if (!error && inside(home_path, fs::weakly_canonical(here, error))) return home_path;
  }
  return here;
}

Listing list_directory(const fs::path& root, const std::string& dir) {
  if (dir.size() > kMaxListedPathBytes) return {414, "the path is too long"};
  if (dir.find('\0') != std::string::npos) return {400, "the path holds NUL"};
  std::error_code error;
  const fs::path canonical_root = fs::canonical(root, error);
  if (error) return {500, "the root cannot be read"};
  fs::path wanted = dir.empty() ? canonical_root : fs::path(dir);
  if (wanted.is_relative()) wanted = canonical_root / wanted;
  const fs::path resolved = fs::weakly_canonical(wanted, error);
  if (error || !inside(canonical_root, resolved))
    return {403, "the path leaves the browsable root"};
  if (!fs::is_directory(resolved, error)) return {404, "no such directory"};

  nlohmann::json entries = nlohmann::json::array();
  bool cut = false;
  fs::directory_iterator it(resolved, fs::directory_options::skip_permission_denied, error);
  if (error) return {403, "the directory cannot be read"};
  for (const fs::directory_entry& entry : it) {
    if (entries.size() >= kMaxListedEntries) {
      cut = true;
      break;
    }
    std::error_code entry_error;
    const bool is_dir = entry.is_directory(entry_error);
    const bool is_file = !is_dir && entry.is_regular_file(entry_error);
    if (!is_dir && !is_file) continue;
    const std::uintmax_t size = is_file ? entry.file_size(entry_error) : 0;
    entries.push_back({{"name", entry.path().filename().string()},
                       {"kind", is_dir ? "dir" : "file"},
                       {"size", entry_error ? 0 : size}});
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    if (a["kind"] != b["kind"]) return a["kind"] == "dir";
    return a["name"].template get<std::string>() < b["name"].template get<std::string>();
  });
  nlohmann::json body{{"dir", resolved.string()},
                      {"root", canonical_root.string()},
                      {"separator", std::string(1, fs::path::preferred_separator)},
                      {"entries", entries},
                      {"cut", cut}};
  if (resolved != canonical_root) body["parent"] = resolved.parent_path().string();
  return {200, body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

}  // namespace korvel::display
