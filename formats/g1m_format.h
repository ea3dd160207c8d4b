// The G1M model container, as far as we read it. Shared by the decoder and the
// forge that writes our samples.
//
// Every 32-bit field is little-endian in a little-endian archive and reversed
// in a big-endian one. Offsets are from the start of the structure named.
//
//   container header (24 bytes)
//     0  magic        "_M1G" or "G1M_" (accepted in either byte order)
//     4  version      0x30303336
//     8  12 bytes     not interpreted
//    20  chunk_count
//    24  chunks, one after the other
//   chunk header (12 bytes): id, version, size (header included)
//     G1MG is parsed; G1MF G1MS G1MM COLL NUNO NUNV EXTR are skipped by size.
//   G1MG header (48 bytes): id, version (0x30303433 or 0x30303434), size,
//     32 bytes not interpreted, 44 section_count; sections follow.
//   section header (8 bytes): type, size (header included)
//     0x00010004 vertex buffers: count at 8, then per buffer a 16-byte header
//       (word 1 stride, word 2 vertex_count) and stride * vertex_count bytes.
//     0x00010007 index buffers: count at 8, then per buffer a 12-byte header
//       (word 0 index_count, word 1 index_bits) and (bits / 8) * count bytes.
//     0x00010008 submeshes: count at 8, then records of 14 words: word 1 the
//       buffer index, words 10-13 first vertex, vertex count, first index,
//       index count.
//     0x00010001-0x00010003, 0x00010005, 0x00010006, 0x00010009 are skipped.
//
// Not read: materials, bones, textures, the skipped chunks' contents. Vertex
// data are never converted: their layout is the viewer's business.
#pragma once

#include <cstdint>

namespace korvel::g1m {

// The magic's two spellings; both are accepted whatever the archive's order.
inline constexpr char kMagicLittle[4] = {'_', 'M', '1', 'G'};
inline constexpr char kMagicBig[4] = {'G', '1', 'M', '_'};
// The magic's value when written as a 32-bit number in the archive's order.
constexpr std::uint32_t kMagicValue = 0x47314D5F;

constexpr std::uint32_t kContainerVersion = 0x30303336;
constexpr std::uint64_t kMagicOffset = 0;
constexpr std::uint64_t kVersionOffset = 4;
constexpr std::uint64_t kChunkCountOffset = 20;
constexpr std::uint64_t kFirstChunkOffset = 24;

constexpr std::uint64_t kChunkIdOffset = 0;
constexpr std::uint64_t kChunkVersionOffset = 4;
constexpr std::uint64_t kChunkSizeOffset = 8;
constexpr std::uint64_t kChunkHeaderSize = 12;

constexpr std::uint32_t kChunkG1mf = 0x47314D46;
constexpr std::uint32_t kChunkG1ms = 0x47314D53;
constexpr std::uint32_t kChunkG1mm = 0x47314D4D;
constexpr std::uint32_t kChunkG1mg = 0x47314D47;
constexpr std::uint32_t kChunkColl = 0x434F4C4C;
constexpr std::uint32_t kChunkNuno = 0x4E554E4F;
constexpr std::uint32_t kChunkNunv = 0x4E554E56;
constexpr std::uint32_t kChunkExtr = 0x45585452;

constexpr std::uint32_t kGeometryVersion43 = 0x30303433;
constexpr std::uint32_t kGeometryVersion44 = 0x30303434;
constexpr std::uint64_t kGeometryVersionOffset = 4;
constexpr std::uint64_t kGeometryUninterpretedOffset = 12;
constexpr std::uint64_t kGeometryUninterpretedSize = 32;
constexpr std::uint64_t kSectionCountOffset = 44;
constexpr std::uint64_t kGeometryHeaderSize = 48;

constexpr std::uint64_t kSectionTypeOffset = 0;
constexpr std::uint64_t kSectionSizeOffset = 4;
constexpr std::uint64_t kSectionHeaderSize = 8;
// Parsed sections carry their buffer or record count after the header.
constexpr std::uint64_t kSectionCountFieldOffset = 8;
constexpr std::uint64_t kParsedSectionHeaderSize = 12;

constexpr std::uint32_t kSectionFirst = 0x00010001;
constexpr std::uint32_t kSectionVertexBuffers = 0x00010004;
constexpr std::uint32_t kSectionIndexBuffers = 0x00010007;
constexpr std::uint32_t kSectionSubmeshes = 0x00010008;
constexpr std::uint32_t kSectionLast = 0x00010009;

constexpr std::uint64_t kVertexBufferHeaderSize = 16;
constexpr std::uint32_t kVertexBufferStrideWord = 1;
constexpr std::uint32_t kVertexBufferCountWord = 2;

constexpr std::uint64_t kIndexBufferHeaderSize = 12;
constexpr std::uint32_t kIndexBufferCountWord = 0;
constexpr std::uint32_t kIndexBufferBitsWord = 1;

constexpr std::uint32_t kSubmeshWords = 14;
constexpr std::uint64_t kSubmeshRecordSize = kSubmeshWords * 4;
constexpr std::uint32_t kSubmeshBufferWord = 1;
constexpr std::uint32_t kSubmeshFirstVertexWord = 10;
constexpr std::uint32_t kSubmeshVertexCountWord = 11;
constexpr std::uint32_t kSubmeshFirstIndexWord = 12;
constexpr std::uint32_t kSubmeshIndexCountWord = 13;

// Word 2 of every parsed section header is its buffer or record count.
constexpr std::uint32_t kSectionCountWord = 2;

}  // namespace korvel::g1m
