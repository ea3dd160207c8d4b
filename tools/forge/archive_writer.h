// Writes an index and its data files from a description in code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/forge/byte_sink.h"

namespace korvel::forge {

struct ForgeEntry {
  Bytes payload;  // empty: an empty entry (both sizes 0)
  // The recorded decoded size; 0 takes the payload's length.
  std::uint64_t size_uncomp = 0;
  std::uint64_t flag = 0;
  // In a numbered series: this entry begins the next data file (offset 0).
  bool starts_new_file = false;
};

struct ForgeArchive {
  std::string name;  // base name: NAME.idx beside NAME.bin or NAME0.bin, NAME1.bin...
  bool big_endian = false;
  bool numbered_series = false;
  std::vector<ForgeEntry> entries;
};

// Writes DIR/NAME.idx and the data files. Payloads are aligned to 16 bytes;
// an entry that would land at offset 0 of a file it does not begin is moved
// on, since offset 0 there means "next data file". False with a reason on
// failure.
bool write_archive(const std::string& directory, const ForgeArchive& archive, std::string* error);

}  // namespace korvel::forge
