// What fuzz_mod_file does with one input, shared with the corpus replay test:
// the bytes as a mod file (.kmod), which people pass to each other. The
// trailer's checksum is made right first, so that inputs reach past it (the
// fuzzer learns the payloads' own checksums from its comparisons). A mod that
// decodes encodes to the same bytes; one that does not says why and holds
// nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/checksum.h"
#include "archive/mod_file.h"

namespace korvel::fuzz {

// False when a law broke; the sanitizers catch the rest.
inline bool run_mod_file_input(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  if (bytes.size() >= 8) {
    const std::uint32_t crc = crc32_of(bytes.data(), bytes.size() - 4);
    for (std::size_t i = 0; i < 4; ++i) {
      bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
  }
  ModFile mod;
  std::string error;
  if (!decode_mod(bytes.data(), bytes.size(), &mod, &error)) {
    return !error.empty() && mod.entries.empty() && mod.archive_name.empty();
  }
  return error.empty() && encode_mod(mod) == bytes;
}

}  // namespace korvel::fuzz
