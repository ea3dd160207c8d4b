// One-shot file functions: each opens, transfers and closes within the call.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

// Creation dispositions, with the Win32 values the callers were written with.
enum Disposition : int {
  kCreateAlways = 2,  // create or truncate
  kOpenExisting = 3,  // the file must exist
  kOpenAlways = 4,    // create when missing, keep the content otherwise
};

// An offset whose both halves are 0xFFFFFFFF means "at the end".
constexpr std::uint64_t kAtEnd = 0xFFFFFFFFFFFFFFFFull;

// Without a buffer: the file's size (low 32 bits). With one: bytes read at
// offset (fewer at the end). -1 for an absent path, a file that is not a
// regular file, an open or read failure.
std::int32_t read_file_part(const char* path, void* buffer, std::uint64_t offset,
                            std::uint64_t length);

// Bytes written, or -1 (also for a file that is not a regular file). Length 0 means data is a
// terminated text. The read-only mark is cleared first; nothing is truncated beyond what the
// disposition does.
std::int32_t write_file_part(const char* path, const void* data, std::uint64_t offset,
                             std::uint64_t length, int disposition);

// Creates the directory that will hold the file at path, and every missing one
// above it. Non-zero when the final directory was created now.
int make_dirs_for_path(const char* path);

// True when path exists but is not a regular file (a FIFO, a device, a
// directory...): such a file is refused at once, since reading one may block
// for ever or never end.
bool is_special_file(const char* path);

// The full 64-bit size of a regular file, or -1. The 32-bit results above
// cannot tell a 4 GiB file from an empty one; the checks that must can ask here.
std::int64_t file_size64(const char* path);

// Writes data to a temporary file beside path, flushes it to disk and renames
// it over path, so that path holds either the old or the new bytes, never a
// mix. Through symbolic links, the file at the end of the chain is replaced
// and the links stay; a link that leads nowhere is a failure. 1 on success, 0
// on failure (nothing is changed, no temporary file stays, and error, when
// given, says why).
int replace_file_atomically(const char* path, const void* data, std::uint64_t length,
                            std::string* error = nullptr);

// Flushes a file's content to disk. 1 on success, 0 on failure.
int sync_file(const char* path);

// Cuts a file back to size (undoing an append that must not stay). 1 or 0.
int truncate_file(const char* path, std::uint64_t size);

// An exclusive lock on a file, held from construction until destruction, for
// every writer of ours that must not interleave with another (two
// replacements in one archive). Waits while another holder has it; the lock
// goes with the process, so a writer that dies frees it.
class FileLock {
 public:
  explicit FileLock(const char* path);
  // The lock on the folder that holds file_path, for writers of a file that is
  // replaced by rename, whose own inode changes with every write.
  static FileLock on_folder_of(const char* file_path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  struct Locked {
    int fd;
  };
  explicit FileLock(Locked locked) : fd_(locked.fd) {}
  int fd_ = -1;
};

// Tests make one write operation fail ("write", "sync", "truncate",
// "replace.write", "replace.rename") to prove that a failure at that step
// loses nothing. A failing "write" writes half of its bytes first, as a full
// disk would. The hook returns true to make the operation fail.
using WriteFaultHook = bool (*)(const char* operation, const char* path);
void set_write_fault_hook(WriteFaultHook hook);

}  // namespace korvel
