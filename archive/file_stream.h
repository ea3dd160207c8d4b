// A buffered read stream with 64-bit positions. Callers open it with a 16 MiB
// buffer, seek 0 from the end for the size, seek back and read the file whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace korvel {

class FileStream {
 public:
  enum Origin : int { kFromStart = 0, kFromCurrent = 1, kFromEnd = 2 };
  // Looking inside an archive needs read access only, so that a game installed
  // where the user may not write can still be browsed.
  enum Access : int { kReadWrite = 0, kReadOnly = 1 };

  FileStream() = default;
  ~FileStream() { close(); }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // 1 when the existing file opened (for reading and writing unless kReadOnly
  // is asked), else 0. The buffer holds at most capacity bytes, and no more
  // than the file has.
  int open(const char* file_path, std::uint32_t capacity, Access access = kReadWrite);
  void close();
  // New absolute position; 0 when the stream is not open.
  std::uint64_t seek(std::uint64_t offset, int origin);
  // Bytes delivered; fewer than asked at the end of the file.
  std::uint64_t read(std::uint64_t count, void* destination);

  bool is_open() const { return handle >= 0; }

  std::string path;
  int handle = -1;
  std::uint64_t file_size = 0;
  std::uint32_t buffer_capacity = 0;
  std::uint32_t buffer_fill = 0;
  std::unique_ptr<std::uint8_t[]> buffer;
  std::uint64_t buffer_file_pos = 0;
  std::uint32_t buffer_pos = 0;
};

}  // namespace korvel
