#include "platform/d3d9/parallel_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "platform/d3d9/parallel_bands.h"
#include "platform/limits.h"

namespace korvel::d3d9 {
namespace {

// Smaller bands are not worth a thread.
constexpr std::size_t kMinBandBytes = std::size_t{256} << 10;
// zlib's inflate counts its input in 32 bits; bands stay well below that.
constexpr std::size_t kMaxBandBytes = std::size_t{1} << 30;
// A band that another follows ends with an empty stored block that brings the
// next band to a byte boundary: at most one more byte for its three header
// bits, then LEN 0 and NLEN 0xFFFF.
constexpr std::uint8_t kStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};
constexpr std::size_t kJoinSlack = 1 + sizeof kStoredLengths;
// Output room for inflating a band to find its blocks: the bytes are dropped.
constexpr std::size_t kWalkOutputBytes = std::size_t{64} << 10;
constexpr std::size_t kZlibHeaderLength = 2;
constexpr std::size_t kZlibTrailerLength = 4;

struct BandStream {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t length = 0;
  std::uint32_t adler = 1;
  bool ok = false;
};

struct CompressorDeleter {
  void operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
  }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

// Inflates a whole raw deflate stream with zlib, block by block, to find the
// bit where its last block begins and the bit where it ends. False unless it
// inflates to exactly `expected` bytes and ends in its last byte.
bool find_last_block(const std::uint8_t* stream, std::size_t length, std::size_t expected,
                     std::size_t* last_header_bit, std::size_t* end_bit) {
  std::unique_ptr<std::uint8_t[]> junk(new (std::nothrow) std::uint8_t[kWalkOutputBytes]);
  z_stream inflater{};
  if (!junk || inflateInit2(&inflater, -MAX_WBITS) != Z_OK) return false;
  inflater.next_in = const_cast<Bytef*>(stream);
  inflater.avail_in = static_cast<uInt>(length);
  std::size_t header_bit = 0;
  std::size_t inflated = 0;
  bool found = false;
  for (;;) {
    inflater.next_out = junk.get();
    inflater.avail_out = static_cast<uInt>(kWalkOutputBytes);
    const int status = inflate(&inflater, Z_BLOCK);
    inflated += kWalkOutputBytes - inflater.avail_out;
    if (status != Z_OK) break;
    // On a block boundary zlib says how many bits of the last byte it took
    // are still unused (fewer than 8), and whether the block was the last.
    if ((inflater.data_type & 128) != 0) {
      const std::size_t bit = static_cast<std::size_t>(inflater.next_in - stream) * 8 -
                              static_cast<std::size_t>(inflater.data_type & 7);
      if ((inflater.data_type & 64) != 0) {
        *last_header_bit = header_bit;
        *end_bit = bit;
        found = true;
        break;
      }
      header_bit = bit;
    }
  }
  inflateEnd(&inflater);
  return found && inflated == expected && (*end_bit + 7) / 8 == length;
}

// Makes a band's complete deflate stream one that another band may follow:
// its last block no longer last, its end brought to a byte boundary.
bool open_band_end(BandStream& band, std::size_t input_length) {
  std::size_t last_header_bit = 0;
  std::size_t end_bit = 0;
  if (!find_last_block(band.bytes.get(), band.length, input_length, &last_header_bit, &end_bit)) {
    return false;
  }
  band.bytes[last_header_bit / 8] &= static_cast<std::uint8_t>(~(1u << (last_header_bit % 8)));
  const std::size_t used_bits = end_bit % 8;
  if (used_bits == 0) return true;
  // The empty stored block's header bits are zeros, as are the bits that pad it.
  band.bytes[band.length - 1] &= static_cast<std::uint8_t>((1u << used_bits) - 1);
  if (8 - used_bits < 3) band.bytes[band.length++] = 0;
  std::memcpy(band.bytes.get() + band.length, kStoredLengths, sizeof kStoredLengths);
  band.length += sizeof kStoredLengths;
  return true;
}

void deflate_band(libdeflate_compressor* compressor, const std::uint8_t* input, std::size_t length,
                  bool last, BandStream* band) {
  const std::size_t bound = libdeflate_deflate_compress_bound(compressor, length);
  band->bytes.reset(new (std::nothrow) std::uint8_t[bound + kJoinSlack]);
  if (!band->bytes) return;
  band->length = libdeflate_deflate_compress(compressor, input, length, band->bytes.get(), bound);
  if (band->length == 0) return;
  band->adler = static_cast<std::uint32_t>(libdeflate_adler32(1, input, length));
  band->ok = last || open_band_end(*band, length);
}

// The two bytes before the deflate stream, with libdeflate's level hint.
void put_zlib_header(int level, std::uint8_t* out) {
  const unsigned level_hint = level < 2 ? 0 : level < 6 ? 1 : level < 8 ? 2 : 3;
  unsigned header = 0x7800 | level_hint << 6;  // deflate, 32 KiB window
  header |= 31 - header % 31;
  out[0] = static_cast<std::uint8_t>(header >> 8);
  out[1] = static_cast<std::uint8_t>(header);
}

// Used when bands cannot be joined, which zlib and libdeflate agreeing on
// deflate should never let happen: the whole data as one stream.
bool deflate_zlib_whole(const std::uint8_t* data, std::size_t size, int level,
                        std::vector<std::uint8_t>* stream) {
  const Compressor compressor(libdeflate_alloc_compressor(level));
  if (!compressor) return false;
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size);
  std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[bound]);
  if (!bytes) return false;
  const std::size_t length =
      libdeflate_zlib_compress(compressor.get(), data, size, bytes.get(), bound);
  if (length == 0) return false;
  stream->assign(bytes.get(), bytes.get() + length);
  return true;
}

}  // namespace

bool deflate_zlib_in_bands(const std::uint8_t* data, std::size_t size, int level,
                           std::vector<std::uint8_t>* stream, unsigned band_count) {
  stream->clear();
  if (band_count == 0) {
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxBandThreads);
    band_count = static_cast<unsigned>(std::clamp<std::size_t>(size / kMinBandBytes, 1, cores));
  }
  band_count = static_cast<unsigned>(
      std::max<std::size_t>(band_count, (size + kMaxBandBytes - 1) / kMaxBandBytes));
  // Every band holds at least one byte.
  band_count =
      static_cast<unsigned>(std::clamp<std::size_t>(band_count, 1, std::max<std::size_t>(size, 1)));
  if (band_count == 1) return deflate_zlib_whole(data, size, level, stream);

  const auto band_start = [&](std::size_t band) {
    return size / band_count * band + size % band_count * band / band_count;
  };
  std::vector<BandStream> bands(band_count);
  for_each_band(band_count, 1, 1, [&](std::uint32_t first, std::uint32_t last) {
    const Compressor compressor(libdeflate_alloc_compressor(level));
    if (!compressor) return;
    for (std::uint32_t i = first; i < last; ++i) {
      const std::size_t start = band_start(i);
      deflate_band(compressor.get(), data + start, band_start(i + 1) - start, i + 1 == band_count,
                   &bands[i]);
    }
  });

  std::size_t total = kZlibHeaderLength + kZlibTrailerLength;
  for (const BandStream& band : bands) {
    if (!band.ok) {
      if (!band.bytes) return false;
      return deflate_zlib_whole(data, size, level, stream);
    }
    total += band.length;
  }
  stream->resize(total);
  std::uint8_t* out = stream->data();
  put_zlib_header(level, out);
  out += kZlibHeaderLength;
  std::uint32_t adler = 1;
  for (std::size_t i = 0; i < bands.size(); ++i) {
    std::memcpy(out, bands[i].bytes.get(), bands[i].length);
    out += bands[i].length;
    const std::size_t length = band_start(i + 1) - band_start(i);
    adler = static_cast<std::uint32_t>(
        i == 0 ? bands[i].adler
               : adler32_combine(adler, bands[i].adler, static_cast<z_off_t>(length)));
  }
  for (int shift = 24; shift >= 0; shift -= 8) *out++ = static_cast<std::uint8_t>(adler >> shift);
  return true;
}

}  // namespace korvel::d3d9
