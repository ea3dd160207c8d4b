#include "tools/forge/samples.h"

#include <string>

#include "tools/forge/pack_writer.h"
#include "tools/forge/zlib_stream_writer.h"

namespace korvel::forge {
namespace {

Bytes text_payload(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// Deterministic bytes that no decoder recognises.
Bytes noise_payload(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

ForgeArchive plain_archive() {
  ForgeArchive archive;
  archive.name = "plain";
  archive.entries.push_back(
      {text_payload("korvel sample: an entry no decoder knows"), 0, 0, false});
  archive.entries.push_back({{}, 0, 0, false});
  archive.entries.push_back({noise_payload(300, 7), 0, 0x10, false});
  archive.entries.push_back({text_payload("ABC"), 0, 0, false});
  return archive;
}

ForgeArchive series_archive() {
  ForgeArchive archive;
  archive.name = "series";
  archive.big_endian = true;
  archive.numbered_series = true;
  archive.entries.push_back({text_payload("first file, first entry"), 0, 0, false});
  archive.entries.push_back({noise_payload(64, 3), 0, 0, false});
  archive.entries.push_back({text_payload("second file begins here"), 0, 0, true});
  archive.entries.push_back({{}, 0, 0, false});
  archive.entries.push_back({text_payload("third file"), 0, 1, true});
  return archive;
}

// Compressible text, as game data mostly is.
Bytes text_lines(std::size_t size, const std::string& label) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) {
    text += label + " line " + std::to_string(line) + ": korvel sample data\n";
  }
  text.resize(size);
  return text_payload(text);
}

// Packs and zlib chunk streams nested in each other, with unknown payloads
// at the bottom, in either byte order.
ForgeArchive containers_archive(const std::string& name, bool big_endian) {
  ForgeArchive archive;
  archive.name = name;
  archive.big_endian = big_endian;
  // Entry 0 records its stored size, so that the byte order is told apart
  // by the usual test.
  archive.entries.push_back(
      {pack_of({zlib_stream_of(text_lines(0x30000, "first stream"), 0x20000, big_endian),
                zlib_stream_of(text_lines(0x900, "second stream"), 0x400, big_endian),
                text_payload("an item no decoder knows")},
               big_endian),
       0, 0, false});

  const Bytes inner_pack =
      pack_of({text_payload("unknown inside a pack inside a stream"), text_lines(0x600, "packed")},
              big_endian);
  archive.entries.push_back(
      {zlib_stream_of(inner_pack, 0x200, big_endian), inner_pack.size(), 0, false});

  PackSpec deep;
  deep.extra_header = text_payload("HDR-EXTRA-BYTES!");
  deep.items.push_back(
      {zlib_stream_of(pack_of({zlib_stream_of(text_lines(0x2000, "deep"), 0x800, big_endian),
                               text_payload("beside the deepest stream")},
                              big_endian),
                      0x800, big_endian),
       std::nullopt});
  deep.items.push_back({text_payload("odd size"), std::nullopt});
  archive.entries.push_back({write_pack(deep, big_endian), 0, 0x20, false});

  // A stream whose first chunk is stored: 0x17C bytes kept as they stand.
  ZlibStreamSpec stored = zlib_stream_spec_of(text_lines(0x400, "compressed"), 0x200);
  ZlibChunkSpec kept;
  kept.data = text_lines(0x17C, "stored");
  kept.stored = true;
  stored.chunks.insert(stored.chunks.begin(), kept);
  stored.chunks.pop_back();
  stored.total_size.reset();
  archive.entries.push_back({write_zlib_stream(stored, big_endian), 0, 0, false});
  return archive;
}

}  // namespace

std::vector<ForgeArchive> sample_archives() {
  return {plain_archive(), series_archive(), containers_archive("containers", false),
          containers_archive("containers_big", true)};
}

}  // namespace korvel::forge
