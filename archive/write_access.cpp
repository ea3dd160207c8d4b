#include "archive/write_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/format_text.h"

namespace korvel {
namespace {

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string reason_for(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return format_text("%s cannot be written: %s", path.c_str(), std::strerror(errno));
  }
  if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return format_text("%s is read-only", path.c_str());
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return format_text("%s cannot be written: %s", path.c_str(), std::strerror(errno));
  ::close(fd);
  // The index is replaced by renaming a new file over it, in its folder.
  const std::string directory = directory_of(path);
  if (::access(directory.c_str(), W_OK) != 0) {
    return format_text("the folder %s is read-only: %s", directory.c_str(), std::strerror(errno));
  }
  return "";
}

}  // namespace

std::string read_only_reason(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    std::string reason = reason_for(path);
    if (!reason.empty()) return reason;
  }
  return "";
}

}  // namespace korvel
