// Writes zlib chunk streams: a header (chunk_size, chunk_count, total_size,
// chunk table) padded to 128 bytes, then the chunks, each a length word and
// zlib data (or stored bytes) padded to 128 bytes. Any payload, a pack or
// another stream included, can be the data.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tools/forge/byte_sink.h"

namespace korvel::forge {

struct ZlibChunkSpec {
  Bytes data;  // what the chunk decodes to
  // Stored chunks are written as they stand and decode to their whole padded
  // size minus the length word: data, then zeros up to that size.
  bool stored = false;
  int level = -1;  // zlib's compression level; -1 is zlib's default
  // Overrides for fixtures that are not well formed.
  std::optional<std::uint32_t> table_entry;
  std::optional<std::uint32_t> length_word;
  std::optional<Bytes> raw_body;  // written after the length word instead of the data
};

struct ZlibStreamSpec {
  std::uint32_t chunk_size = 0x20000;
  std::vector<ZlibChunkSpec> chunks;
  std::optional<std::uint32_t> total_size;   // default: what the chunks decode to
  std::optional<std::uint32_t> chunk_count;  // default: the number of chunks
};

Bytes write_zlib_stream(const ZlibStreamSpec& stream, bool big_endian);

// data cut as readers expect: size / chunk_size + 1 compressed chunks of
// chunk_size bytes, the last holding what is left (nothing for a size that
// is a multiple of chunk_size).
ZlibStreamSpec zlib_stream_spec_of(const Bytes& data, std::uint32_t chunk_size);

Bytes zlib_stream_of(const Bytes& data, std::uint32_t chunk_size, bool big_endian);

}  // namespace korvel::forge
