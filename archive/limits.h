// Limits that are policy rather than format: sizes that are "likely to be
// malformed or malicious" and are refused before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Payload lengths and sizes travel as 32-bit values through every decoder.
constexpr std::uint64_t kMaxPayloadLength = 0xFFFFFFFFull - 256;

// Deflate cannot expand its input by more than 1032 to 1 (a 258-byte match
// in two bits). A zlib chunk stream that claims more decoded bytes than its
// chunks could ever hold is refused before its output is allocated.
constexpr std::uint64_t kMaxDeflateExpansion = 1032;

// Largest decoded size of one zlib chunk stream that we allocate; game
// entries are far smaller, so a larger claim is taken as malformed.
constexpr std::uint64_t kMaxDecodedStreamLength = 0x40000000;

// A zlib chunk stream whose chunk_size reaches this (256 MiB) is not one:
// real chunks are tens of KiB, and every chunk is inflated into a buffer of
// chunk_size bytes.
constexpr std::uint32_t kZlibChunkSizeLimit = 0x10000000;

// Threads that inflate or compress the chunks of one large zlib stream. The
// work is memory-bound, and more threads than this only add contention.
constexpr unsigned kMaxZlibThreads = 8;

// The end of a data file that a replacement may append up to: offsets and
// sizes are stored in 32 bits in the index.
constexpr std::uint64_t kMaxDataFileEnd = 0xFFFFFFFFull;

// Every payload handed to a decoder has this much room after its end. We keep
// it zero-filled so that nothing undefined ever shows, but our decoders never
// rely on it: they read through ByteReader, bounded by the payload length.
constexpr std::uint32_t kPayloadSlack = 256;

// Containers nest (packs of zlib streams of packs...). Beyond this depth a
// payload is shown as unknown instead of recursing further.
constexpr int kMaxContainerDepth = 32;

// Format warnings of one model's walk that reach the user. Each one waits
// for a key, and a walk that has lost its way in a damaged model would
// otherwise ask for one every few bytes.
constexpr int kMaxModelFormatMessages = 8;
// Textures one G1T container may list. Real ones hold hundreds; a forged count
// would otherwise make millions of tree nodes out of a few bytes of table.
constexpr std::uint32_t kMaxTexturesPerContainer = 0x10000;

// What the decoders of one request may hold at once in copies and decoded
// forms of nested payloads (a rebuild holds about twice as much again).
constexpr std::uint64_t kMaxBytesInFlight = 3ull << 30;

// Tree nodes one entry's content may make (each costs a few hundred bytes
// with its attributes). Real entries hold thousands of items; a pack table
// of millions of empty items, a few hundred KiB compressed, would otherwise
// take gigabytes.
constexpr std::uint64_t kMaxContentNodes = 0x80000;

// Index records an archive may have. Every request lists the records up to
// the one it wants, at about 500 bytes of tree each, so a million records
// already take half a GiB; real archives hold tens of thousands, and a sparse
// index of zeros could otherwise claim tens of millions.
constexpr std::uint32_t kMaxIndexRecords = 0x100000;

// Listing memory kept from one request for the next: the elements of about
// 150,000 entries. A larger listing gives the rest back to the system.
constexpr std::size_t kMaxKeptListingBytes = std::size_t{64} << 20;

// The FileStream buffer every caller opens with.
constexpr std::uint32_t kStreamBufferCapacity = 0x1000000;

// Symbolic links followed to the file a whole-file write replaces, as the
// system's own lookups allow; a longer chain is taken as a loop.
constexpr int kMaxLinkHops = 40;

// Longest paths and keys the archive keeps.
constexpr std::size_t kMaxPathLength = 1039;
constexpr std::size_t kMaxKeyLength = 1023;

}  // namespace korvel
