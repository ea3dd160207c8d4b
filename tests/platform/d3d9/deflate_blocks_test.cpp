// Where deflate streams have their last block and their end, checked against
// zlib inflating the same streams block by block.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "platform/d3d9/deflate_blocks.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// zlib's answer: inflate stops after every block and says how many bits of
// the last byte it took are unused and whether that block was the last.
bool zlib_end(const Bytes& stream, d3d9::DeflateEnd* end) {
  z_stream inflater{};
  if (inflateInit2(&inflater, -MAX_WBITS) != Z_OK) return false;
  Bytes out(1 << 16);
  inflater.next_in = const_cast<Bytef*>(stream.data());
  inflater.avail_in = static_cast<uInt>(stream.size());
  std::size_t header_bit = 0, inflated = 0;
  bool found = false;
  for (;;) {
    inflater.next_out = out.data();
    inflater.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&inflater, Z_BLOCK);
    inflated += out.size() - inflater.avail_out;
    if (status != Z_OK) break;
    if ((inflater.data_type & 128) == 0) continue;
    const std::size_t bit = static_cast<std::size_t>(inflater.next_in - stream.data()) * 8 -
                            static_cast<std::size_t>(inflater.data_type & 7);
    if ((inflater.data_type & 64) != 0) {
      *end = {header_bit, bit, inflated};
      found = true;
      break;
    }
    header_bit = bit;
  }
  inflateEnd(&inflater);
  return found;
}

Bytes sample(std::size_t size, int kind) {
  Bytes data(size);
  std::uint32_t seed = static_cast<std::uint32_t>(size) + 17u * static_cast<std::uint32_t>(kind);
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1664525u + 1013904223u;
    data[i] = kind == 0 ? static_cast<std::uint8_t>(seed >> 24)                  // noise
                        : static_cast<std::uint8_t>(i % 61 + (seed >> 29) * 3);  // repeats
  }
  return data;
}

Bytes libdeflate_stream(const Bytes& data, int level) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  Bytes stream(libdeflate_deflate_compress_bound(compressor, data.size()));
  stream.resize(libdeflate_deflate_compress(compressor, data.data(), data.size(), stream.data(),
                                            stream.size()));
  libdeflate_free_compressor(compressor);
  return stream;
}

// zlib's fixed codes, and a full flush in the middle for an empty stored block.
Bytes zlib_stream(const Bytes& data, int strategy) {
  z_stream deflater{};
  deflateInit2(&deflater, 6, Z_DEFLATED, -MAX_WBITS, 8, strategy);
  Bytes stream(deflateBound(&deflater, static_cast<uLong>(data.size())) + 64);
  deflater.next_out = stream.data();
  deflater.avail_out = static_cast<uInt>(stream.size());
  deflater.next_in = const_cast<Bytef*>(data.data());
  deflater.avail_in = static_cast<uInt>(data.size() / 2);
  deflate(&deflater, Z_FULL_FLUSH);
  deflater.avail_in = static_cast<uInt>(data.size() - data.size() / 2);
  deflate(&deflater, Z_FINISH);
  stream.resize(deflater.total_out);
  deflateEnd(&deflater);
  return stream;
}

TEST(DeflateBlocks, FindsTheLastBlockAndTheEndAsZlibDoes) {
  std::vector<Bytes> streams;
  for (const std::size_t size : {0u, 1u, 300u, 70000u, 400000u}) {
    for (const int kind : {0, 1}) {
      const Bytes data = sample(size, kind);
      for (const int level : {0, 1, 6, 12}) streams.push_back(libdeflate_stream(data, level));
      for (const int strategy : {Z_FIXED, Z_DEFAULT_STRATEGY}) {
        streams.push_back(zlib_stream(data, strategy));
      }
    }
  }
  for (std::size_t i = 0; i < streams.size(); ++i) {
    d3d9::DeflateEnd ours, zlib;
    ASSERT_TRUE(zlib_end(streams[i], &zlib)) << "stream " << i;
    ASSERT_TRUE(d3d9::find_deflate_end(streams[i].data(), streams[i].size(), &ours))
        << "stream " << i;
    EXPECT_EQ(ours.last_block_bit, zlib.last_block_bit) << "stream " << i;
    EXPECT_EQ(ours.end_bit, zlib.end_bit) << "stream " << i;
    EXPECT_EQ(ours.inflated_size, zlib.inflated_size) << "stream " << i;
  }
}

TEST(DeflateBlocks, DamagedStreamsNeverPassWhereZlibFails) {
  const Bytes stream = libdeflate_stream(sample(20000, 1), 6);
  d3d9::DeflateEnd ours, zlib;
  // Cut short anywhere: no end, and nothing read past the bytes given
  // (the copy is exactly as long as the cut).
  for (std::size_t cut = 0; cut < stream.size(); cut += 7) {
    const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_FALSE(d3d9::find_deflate_end(part.data(), part.size(), &ours)) << "cut at " << cut;
  }
  // A flipped bit: any end we report is zlib's too.
  for (std::size_t bit = 0; bit < stream.size() * 8; bit += 29) {
    Bytes damaged = stream;
    damaged[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    if (!d3d9::find_deflate_end(damaged.data(), damaged.size(), &ours)) continue;
    ASSERT_TRUE(zlib_end(damaged, &zlib)) << "bit " << bit;
    EXPECT_EQ(ours.end_bit, zlib.end_bit) << "bit " << bit;
    EXPECT_EQ(ours.inflated_size, zlib.inflated_size) << "bit " << bit;
  }
}

}  // namespace
}  // namespace korvel::test
