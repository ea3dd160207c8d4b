// A PNG's rows, unfiltered, in a zlib stream of stored deflate blocks,
// written on every core: the texture page's PNG, which is shown once over
// loopback and dropped, so copying fast matters and size does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace korvel::d3d9 {

struct StoredRows {
  std::uint32_t count = 0;    // rows, at least one
  std::size_t length = 0;     // bytes of a row, the filter byte not counted
  std::uint32_t granule = 1;  // a band starts at a multiple of this many rows
  std::uint32_t min_rows_per_band = 1;
  std::size_t scratch_size = 0;  // bytes of scratch memory each band is given
  // Gives rows [first, first + n), n at most granule, as n rows of length
  // bytes back to back: either rows it holds already or rows it writes into
  // the band's scratch. Called from several threads at once.
  std::function<const std::uint8_t*(std::uint32_t first, std::uint32_t n, std::uint8_t* scratch)>
      rows;
};

// The bytes of the stream: the zlib header, the blocks, the Adler-32.
std::size_t stored_rows_stream_size(const StoredRows& rows);

// Writes the stream at out, stored_rows_stream_size bytes, and returns the
// CRC-32 that a chunk holding it ends with, continuing crc (the CRC-32 of
// what the chunk holds before it: its type). False when scratch memory
// could not be had; then out holds nothing meaningful.
bool write_stored_rows(const StoredRows& rows, std::uint8_t* out, std::uint32_t* crc);

}  // namespace korvel::d3d9
