#include "archive/file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/format_text.h"
#include "archive/limits.h"
#include "archive/temporary_files.h"

namespace korvel {
namespace {

WriteFaultHook g_write_fault_hook = nullptr;

bool fault_injected(const char* operation, const char* path) {
  return g_write_fault_hook != nullptr && g_write_fault_hook(operation, path);
}

// Closes a descriptor on every path out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool write_all(int fd, const std::uint8_t* data, std::uint64_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<std::uint64_t>(written);
  }
  return true;
}

int open_flags_for(int disposition) {
  switch (disposition) {
    case kCreateAlways:
      return O_WRONLY | O_CREAT | O_TRUNC;
    case kOpenAlways:
      return O_WRONLY | O_CREAT;
    case kOpenExisting:
      return O_WRONLY;
    default:
      return -1;
  }
}

}  // namespace

std::int32_t read_file_part(const char* path, void* buffer, std::uint64_t offset,
                            std::uint64_t length) {
  if (path == nullptr) return -1;
  // Without blocking: opening a FIFO for reading would wait for a writer for ever.
  Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return -1;
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  const auto size = static_cast<std::uint64_t>(status.st_size);
  if (buffer == nullptr) return static_cast<std::int32_t>(static_cast<std::uint32_t>(size));
  const std::uint32_t wanted = static_cast<std::uint32_t>(length);
  if (offset >= size || wanted == 0) return 0;
  // Results are signed 32-bit: a read is capped so that its count stays positive.
  std::uint64_t remaining = std::min<std::uint64_t>(wanted, 0x7FFFFFFFu);
  auto out = static_cast<std::uint8_t*>(buffer);
  std::uint64_t got = 0;
  while (got < remaining) {
    const ssize_t n =
        ::pread(file.get(), out + got, remaining - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::uint64_t>(n);
  }
  return static_cast<std::int32_t>(got);
}

std::int32_t write_file_part(const char* path, const void* data, std::uint64_t offset,
                             std::uint64_t length, int disposition) {
  if (path == nullptr || data == nullptr) return -1;
  const int flags = open_flags_for(disposition);
  if (flags < 0) return -1;
  // Refused before the open, which may already truncate the file.
  std::uint64_t count = static_cast<std::uint32_t>(length);
  if (count == 0) count = std::strlen(static_cast<const char*>(data));
  if (count > 0x7FFFFFFFu) return -1;
  // Clear a read-only mark, as the callers rely on being able to overwrite.
  struct stat status {};
  if (::stat(path, &status) == 0 && S_ISREG(status.st_mode)) {
    ::chmod(path, status.st_mode | S_IWUSR);
  }
  Descriptor file(::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0644));
  if (file.get() < 0) return -1;
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  if (offset == kAtEnd) {
    if (::lseek(file.get(), 0, SEEK_END) < 0) return -1;
  } else if (::lseek(file.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
    return -1;
  }
  if (fault_injected("write", path)) {
    write_all(file.get(), static_cast<const std::uint8_t*>(data), count / 2);
    return -1;
  }
  if (!write_all(file.get(), static_cast<const std::uint8_t*>(data), count)) return -1;
  if (::close(file.release()) != 0) return -1;
  return static_cast<std::int32_t>(count);
}

int make_dirs_for_path(const char* path) {
  if (path == nullptr || std::strlen(path) < 2) return 0;
  std::string copy(path, strnlen(path, 260));
  for (char& c : copy) {
    if (c == '\\') c = '/';
  }
  const std::size_t last = copy.rfind('/');
  if (last == std::string::npos) return 0;
  copy.resize(last);
  if (copy.empty()) return 0;
  if (::mkdir(copy.c_str(), 0755) == 0) return 1;
  for (std::size_t i = 2; i < copy.size(); ++i) {
    if (copy[i] == '/') ::mkdir(copy.substr(0, i).c_str(), 0755);
  }
  return ::mkdir(copy.c_str(), 0755) == 0 ? 1 : 0;
}

bool is_special_file(const char* path) {
  struct stat status {};
  return path != nullptr && ::stat(path, &status) == 0 && !S_ISREG(status.st_mode);
}

std::int64_t file_size64(const char* path) {
  struct stat status {};
  if (path == nullptr || ::stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
  return static_cast<std::int64_t>(status.st_size);
}

namespace {

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

bool resolve_link_target(const char* path, std::string* target, std::string* error) {
  std::string current(path);
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0) {
      // A missing file is created, but a link must lead somewhere.
      if (hop > 0 || errno != ENOENT) {
        if (error != nullptr) {
          *error = hop > 0 ? format_text("%s is a link to %s, which does not exist", path,
                                         current.c_str())
                           : format_text("cannot reach %s: %s", path, std::strerror(errno));
        }
        return false;
      }
      *target = current;
      return true;
    }
    if (!S_ISLNK(status.st_mode)) {
      *target = current;
      return true;
    }
    std::string link(kMaxPathLength + 1, '\0');
    const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
    if (length <= 0 || static_cast<std::size_t>(length) > kMaxPathLength) {
      if (error != nullptr) *error = format_text("cannot read the link %s", current.c_str());
      return false;
    }
    link.resize(static_cast<std::size_t>(length));
    // A relative link is relative to the directory that holds it.
    current = link[0] == '/' ? link : directory_of(current) + "/" + link;
  }
  if (error != nullptr)
    *error = format_text("%s is a chain of more than %d links", path, kMaxLinkHops);
  return false;
}

}  // namespace

int replace_file_atomically(const char* path, const void* data, std::uint64_t length,
                            std::string* error) {
  if (path == nullptr || (data == nullptr && length > 0)) return 0;
  // Through a link, the file the link leads to is replaced, beside itself, so
  // that the rename keeps the link and reaches the real file.
  std::string target;
  if (!resolve_link_target(path, &target, error)) return 0;
  const std::string directory = directory_of(target);
  // Named for its target, so that one a killed writer left can be found and removed.
  std::string temporary = temporary_template_for(target);
  Descriptor file(::mkstemp(temporary.data()));
  if (file.get() < 0) {
    if (error != nullptr) {
      *error =
          format_text("cannot create a file in %s: %s", directory.c_str(), std::strerror(errno));
    }
    return 0;
  }
  struct stat status {};
  const mode_t mode =
      ::stat(target.c_str(), &status) == 0 ? (status.st_mode & 07777) | S_IWUSR : 0644;
  const bool written = !fault_injected("replace.write", path) && ::fchmod(file.get(), mode) == 0 &&
                       write_all(file.get(), static_cast<const std::uint8_t*>(data), length) &&
                       ::fsync(file.get()) == 0 && ::close(file.release()) == 0;
  if (!written || fault_injected("replace.rename", path) ||
      ::rename(temporary.c_str(), target.c_str()) != 0) {
    if (error != nullptr) *error = format_text("writing %s failed", target.c_str());
    ::unlink(temporary.c_str());
    return 0;
  }
  // Make the rename itself durable.
  Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return 1;
}

int sync_file(const char* path) {
  if (path == nullptr || fault_injected("sync", path)) return 0;
  Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  return file.get() >= 0 && ::fsync(file.get()) == 0 ? 1 : 0;
}

int truncate_file(const char* path, std::uint64_t size) {
  if (path == nullptr || fault_injected("truncate", path)) return 0;
  return ::truncate(path, static_cast<off_t>(size)) == 0 ? 1 : 0;
}

namespace {

// The descriptor, exclusively locked, or -1 (the descriptor closed).
int lock_descriptor(Descriptor& file) {
  int locked = -1;
  do {
    locked = ::flock(file.get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  return locked == 0 ? file.release() : -1;
}

}  // namespace

FileLock::FileLock(const char* path) {
  if (path == nullptr) return;
  // Read access suffices for the lock, so a read-only file is still locked and
  // then refused by name.
  Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) return;
  fd_ = lock_descriptor(file);
}

FileLock FileLock::on_folder_of(const char* file_path) {
  if (file_path == nullptr) return FileLock(Locked{-1});
  Descriptor folder(::open(directory_of(file_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return FileLock(Locked{folder.get() < 0 ? -1 : lock_descriptor(folder)});
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

void set_write_fault_hook(WriteFaultHook hook) {
  g_write_fault_hook = hook;
}

}  // namespace korvel
