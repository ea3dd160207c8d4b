#include "archive/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "archive/limits.h"

namespace korvel {

int FileStream::open(const char* file_path, std::uint32_t capacity, Access access) {
  close();
  buffer_capacity = 0;
  handle = -1;
  file_size = 0;
  buffer_fill = 0;
  buffer_file_pos = 0;
  buffer_pos = 0;
  if (file_path == nullptr) return 0;
  path.assign(file_path, strnlen(file_path, kMaxPathLength));
  // By default read and write access, so that a read-only file counts as
  // missing to callers that will write it.
  const int fd =
      ::open(path.c_str(), (access == kReadOnly ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return 0;
  }
  handle = fd;
  file_size = static_cast<std::uint64_t>(status.st_size);
  // Reads stop at the size seen here, so a small file never needs the whole
  // capacity: callers ask for 16 MiB, and lists and pages are a few KiB.
  buffer_capacity = static_cast<std::uint32_t>(std::min<std::uint64_t>(capacity, file_size));
  buffer.reset(new std::uint8_t[static_cast<std::size_t>(buffer_capacity) + 4]);
  return 1;
}

void FileStream::close() {
  buffer.reset();
  if (handle >= 0) ::close(handle);
  handle = -1;
}

std::uint64_t FileStream::seek(std::uint64_t offset, int origin) {
  if (!is_open()) return 0;
  if (origin == kFromEnd) {
    offset = offset > file_size ? 0 : file_size - offset;
    origin = kFromStart;
  }
  if (origin == kFromStart) {
    const std::uint64_t current = buffer_file_pos + buffer_pos;
    if (offset >= buffer_file_pos && offset <= current) {
      buffer_pos = static_cast<std::uint32_t>(offset - buffer_file_pos);
    } else {
      buffer_fill = 0;
      buffer_pos = 0;
      buffer_file_pos = std::min(offset, file_size);
    }
  } else if (offset <= static_cast<std::uint64_t>(buffer_fill - buffer_pos)) {
    buffer_pos += static_cast<std::uint32_t>(offset);
  } else {
    const std::uint64_t target = buffer_file_pos + buffer_pos + offset;
    buffer_file_pos = std::min(target < offset ? file_size : target, file_size);
    buffer_fill = 0;
    buffer_pos = 0;
  }
  return buffer_file_pos + buffer_pos;
}

std::uint64_t FileStream::read(std::uint64_t count, void* destination) {
  if (!is_open() || count == 0 || destination == nullptr || !buffer) return 0;
  auto out = static_cast<std::uint8_t*>(destination);
  std::uint64_t missing = count;
  for (;;) {
    const std::uint32_t available = buffer_fill - buffer_pos;
    if (missing <= available) {
      std::memcpy(out, buffer.get() + buffer_pos, missing);
      buffer_pos += static_cast<std::uint32_t>(missing);
      return count;
    }
    std::memcpy(out, buffer.get() + buffer_pos, available);
    out += available;
    missing -= available;
    buffer_file_pos += buffer_fill;
    buffer_fill = 0;
    buffer_pos = 0;
    const std::uint64_t to_read =
        std::min<std::uint64_t>(file_size - buffer_file_pos, buffer_capacity);
    if (to_read == 0) return count - missing;
    // One positioned read, repeated only where the system delivers in pieces.
    std::uint64_t got = 0;
    while (got < to_read) {
      const ssize_t n = ::pread(handle, buffer.get() + got, to_read - got,
                                static_cast<off_t>(buffer_file_pos + got));
      if (n <= 0) break;
      got += static_cast<std::uint64_t>(n);
    }
    if (got == 0) return count - missing;
    buffer_fill = static_cast<std::uint32_t>(got);
  }
}

}  // namespace korvel
