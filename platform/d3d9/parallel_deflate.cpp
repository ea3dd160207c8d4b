#include "platform/d3d9/parallel_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "platform/d3d9/deflate_blocks.h"
#include "platform/d3d9/parallel_bands.h"
#include "platform/limits.h"

namespace korvel::d3d9 {
namespace {

// Smaller bands are not worth their setting up.
constexpr std::size_t kMinBandBytes = std::size_t{512} << 10;
constexpr unsigned kBandsPerCore = 4;
// Bands stay far below what zlib's checksum combining counts in a z_off_t.
constexpr std::size_t kMaxBandBytes = std::size_t{1} << 30;
// A band that another follows ends with an empty stored block that brings the
// next band to a byte boundary: at most one more byte for its three header
// bits, then LEN 0 and NLEN 0xFFFF.
constexpr std::uint8_t kStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};
constexpr std::size_t kJoinSlack = 1 + sizeof kStoredLengths;
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

// Makes a band's complete deflate stream one that another band may follow:
// its last block no longer last, its end brought to a byte boundary.
bool open_band_end(BandStream& band, std::size_t input_length) {
  DeflateEnd end;
  if (!find_deflate_end(band.bytes.get(), band.length, &end) || end.inflated_size != input_length ||
      (end.end_bit + 7) / 8 != band.length) {
    return false;
  }
  band.bytes[end.last_block_bit / 8] &=
      static_cast<std::uint8_t>(~(1u << (end.last_block_bit % 8)));
  const std::size_t used_bits = end.end_bit % 8;
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

// For data too small to cut, and for bands that cannot be joined, which
// libdeflate writing valid deflate should never let happen.
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
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxBandThreads);
  if (band_count == 0) {
    // Several bands a core, taken in turn, so that a core whose bands deflate
    // quickly takes more of them.
    band_count = static_cast<unsigned>(
        std::clamp<std::size_t>(size / kMinBandBytes, 1, std::size_t{cores} * kBandsPerCore));
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
  std::atomic<unsigned> next_band{0};
  for_each_band(std::min(cores, band_count), 1, 1, [&](std::uint32_t, std::uint32_t) {
    const Compressor compressor(libdeflate_alloc_compressor(level));
    if (!compressor) return;
    for (unsigned i = next_band++; i < band_count; i = next_band++) {
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
