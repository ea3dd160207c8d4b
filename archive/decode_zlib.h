// The zlib chunk stream, apart from the tree: recognition, decoding of the
// chunks and building a stream. Archive::decode_zlib puts them together;
// tests and tools use them as a second view of a stream.
#pragma once

#include <cstdint>

#include "archive/archive.h"
#include "archive/byte_reader.h"

namespace korvel {

struct ZlibStreamHeader {
  std::uint32_t chunk_size = 0;
  std::uint32_t chunk_count = 0;
  std::uint32_t total_size = 0;
  std::uint64_t header_size = 0;  // the header area, padding included
};

// True when the payload is a zlib chunk stream whose decoded size we accept;
// fills the header. Only reads the payload.
bool read_zlib_stream_header(const ByteReader& payload, ZlibStreamHeader* header);

// Decodes every chunk of a recognised stream into decoded, writing all of
// its total_size bytes: what no chunk gives is zero. False when a chunk did
// not decompress: the chunks from it on are skipped and read as zeros.
bool inflate_zlib_stream(const ByteReader& payload, const ZlibStreamHeader& header,
                         std::uint8_t* decoded);

// Builds a stream holding the size bytes of data in chunks of chunk_size:
// compressed chunks where they fit, stored chunks where compression does not
// shrink enough, and always chunk_count = size / chunk_size + 1. False when
// no stream that read_zlib_stream_header accepts can hold the data, or zlib
// fails. The stream buffer gets stream_size bytes and zero slack.
bool deflate_zlib_stream(const std::uint8_t* data, std::uint32_t size, std::uint32_t chunk_size,
                         std::uint8_t big_endian, ByteBuffer* stream, std::uint32_t* stream_size);

// The rebuild of a recognised stream once its decoded content has been
// rebuilt as content: the payload itself when the content equals what was
// decoded, else a new stream around the content. False when neither can be
// done soundly (the content changed after a chunk failed to decompress, or no
// stream can hold it); the outputs are then left as they were.
bool rebuild_zlib_stream(const ByteReader& payload, const ZlibStreamHeader& header,
                         const std::uint8_t* decoded, bool decoded_complete,
                         const std::uint8_t* content, std::uint32_t content_size,
                         ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                         std::uint32_t* out_stored_size);

// zlib's compress by default; tests put a failing one in its place. Returns
// the previous function; nullptr restores compress.
using ZlibCompressFunction = int (*)(unsigned char* dest, unsigned long* dest_length,
                                     const unsigned char* source, unsigned long source_length);
ZlibCompressFunction set_zlib_compress_function(ZlibCompressFunction function);

}  // namespace korvel
