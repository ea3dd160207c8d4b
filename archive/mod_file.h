// A mod file (.kmod): the replacements of one archive as one file that
// applies to another copy of the same game's archive. It is outside input, so
// every count and length is checked against a named limit, and a version or
// flag this korvel does not know is refused rather than guessed at.
//
// Layout, all little-endian:
//   header   "KMOD", u16 version (1), u16 flags (0), u32 entry_count,
//            u16 archive name length, then the name (the exporting index's
//            file name, for people)
//   entry    u32 entry number, u16 output id length, the output id,
//            u32 CRC-32 and u64 size of the payload it replaces,
//            u32 decoded size, u32 payload length, u32 payload CRC-32,
//            the payload (as the index records it: stored bytes)
//   trailer  u32 CRC-32 of every byte before it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/limits.h"

namespace korvel {

constexpr char kModMagic[4] = {'K', 'M', 'O', 'D'};
constexpr std::uint16_t kModVersion = 1;
// Entries one mod may carry; a mod of every texture of a large game is far less.
constexpr std::uint32_t kMaxModEntries = 0x10000;
// One entry's payload; entries are textures of a few MiB.
constexpr std::uint32_t kMaxModPayloadLength = 0x10000000;
// The whole file read into memory at most.
constexpr std::uint64_t kMaxModFileBytes = 1ull << 30;
constexpr std::size_t kMaxModNameLength = 255;

struct ModEntry {
  std::uint32_t entry = 0;
  std::string output_id;
  std::uint32_t replaced_crc = 0;  // CRC-32 of the payload the mod replaces
  std::uint64_t replaced_size = 0;
  std::uint32_t decoded_size = 0;  // what the index records as size_uncomp
  std::uint32_t payload_crc = 0;
  std::vector<std::uint8_t> payload;
};

struct ModFile {
  std::string archive_name;
  std::vector<ModEntry> entries;
};

std::vector<std::uint8_t> encode_mod(const ModFile& mod);

// False, with the reason and an empty mod, for anything that is not a whole mod of a version
// this korvel knows; entry numbers must be distinct.
bool decode_mod(const std::uint8_t* bytes, std::size_t size, ModFile* mod, std::string* error);

// Reads and decodes a mod file, refusing one larger than kMaxModFileBytes;
// file_crc gets the CRC-32 of the whole file (for the journal).
bool read_mod_file(const std::string& path, ModFile* mod, std::uint32_t* file_crc,
                   std::string* error);

}  // namespace korvel
