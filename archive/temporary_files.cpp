#include "archive/temporary_files.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace korvel {
namespace {

struct CloseDirectory {
  void operator()(DIR* directory) const { ::closedir(directory); }
};

// Leaves room for ".tmp-XXXXXX" in a name of at most 255 bytes.
constexpr std::size_t kMaxStemBytes = 200;
constexpr std::size_t kRandomPartBytes = 6;

std::string base_name(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

std::string stem_of(const std::string& name) {
  return name.substr(0, std::min(name.size(), kMaxStemBytes)) + kTemporarySuffix;
}

// mkstemp fills its six characters from letters and digits only.
bool is_random_part(const char* text) {
  for (std::size_t i = 0; i < kRandomPartBytes; ++i) {
    const char c = text[i];
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!allowed) return false;
  }
  return text[kRandomPartBytes] == '\0';
}

}  // namespace

std::string temporary_template_for(const std::string& target_path) {
  return directory_of(target_path) + "/" + stem_of(base_name(target_path)) + "XXXXXX";
}

int remove_stale_temporaries(const std::string& target_path) {
  // The writer puts its temporary beside the file at the end of any links.
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(target_path.c_str(), nullptr),
                                                       &std::free);
  if (resolved == nullptr) return 0;
  const std::string target(resolved.get());
  const std::string directory = directory_of(target);
  const std::string stem = stem_of(base_name(target));
  std::unique_ptr<DIR, CloseDirectory> listing(::opendir(directory.c_str()));
  if (listing == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(listing.get())) {
    if (std::strncmp(entry->d_name, stem.c_str(), stem.size()) != 0 ||
        !is_random_part(entry->d_name + stem.size())) {
      continue;
    }
    const std::string stale = directory + "/" + entry->d_name;
    if (::unlink(stale.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace korvel
