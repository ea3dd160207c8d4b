// The round-trip laws of the containers, as functions that return what broke
// (empty when every law holds). The tests and the fuzz targets share them,
// so that a crash or a broken law the fuzzer finds is replayed by the tests.
// No gtest here: the fuzz targets compile this file on its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"

namespace korvel::test {

// The content tree that dispatch builds for a payload under a bare root
// element, printed as XML.
std::string content_tree_of(const std::uint8_t* payload, std::uint32_t length,
                            std::uint8_t big_endian);

// The decoded bytes: every payload that no pack or zlib stream wraps, in
// tree order, found with the format functions rather than with dispatch.
std::vector<ByteBuffer> leaf_payloads_of(const std::uint8_t* payload, std::uint32_t length,
                                         std::uint8_t big_endian);

struct RebuildResult {
  bool failed = false;
  ByteBuffer bytes;  // the stored size's bytes, without slack
  std::uint32_t decoded_size = 0;
  std::uint32_t stored_size = 0;
};

// Dispatches the payload in rebuild mode with nothing to replace.
RebuildResult rebuild_unchanged(const std::uint8_t* payload, std::uint32_t length,
                                std::uint8_t big_endian);

// In both byte orders: decoding and rebuilding do not fail, and a rebuild
// with nothing changed gives the payload back byte for byte, with the same
// tree and the same leaves when read again. The one failure allowed, leaving
// nothing, is a zlib stream whose content a rebuild lays out afresh where no
// stream can soundly hold it: in fewer than 128 bytes, or after a chunk of
// the old stream did not decompress.
std::string check_unchanged_rebuild(const std::uint8_t* data, std::size_t size);

// For any payload, in both byte orders: decoding and rebuilding do not
// crash, a rebuild with nothing changed does not fail, and its result reads
// back with the same content tree (failing only as the check above allows).
// Holds for every decoder, not only ours.
std::string check_rebuild_reads_back(const std::uint8_t* data, std::size_t size);

// deflate_zlib_stream on arbitrary content (chunk size taken from the first
// bytes): when it succeeds, the stream is recognised and decodes to exactly
// the content; it fails only for content of fewer than 128 bytes or chunk
// sizes below 128, or where stored chunks cannot catch up.
std::string check_zlib_stream_builder(const std::uint8_t* data, std::size_t size);

// When the data is a pack: rebuilt with items cut or grown (by amounts taken
// from the data), the pack reads back with exactly the new items, or the
// rebuild fails because the items shrank to nothing.
std::string check_pack_rebuilder(const std::uint8_t* data, std::size_t size);

}  // namespace korvel::test
