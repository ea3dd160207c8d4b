#include "platform/d3d9/stored_rows.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/d3d9/parallel_bands.h"

namespace korvel::d3d9 {
namespace {

// A zlib stream of stored deflate blocks: a 32 KiB window, no compression.
constexpr std::uint8_t kZlibHeaderStored[2] = {0x78, 0x01};
constexpr std::size_t kZlibTrailerLength = 4;  // Adler-32 of the data
constexpr std::size_t kStoredBlockMax = 0xFFFF;
constexpr std::size_t kStoredBlockHeader = 5;  // final bit and type, length, its complement

// Where the bytes of the data from offset d on start in the stream: the
// header of the block that d opens, or d itself inside a block. Every band
// writes from its first row's offset to the next band's, block headers
// included, so that the bands' bytes meet without a gap.
std::size_t stream_offset(std::size_t data_offset) {
  const std::size_t blocks_before = (data_offset + kStoredBlockMax - 1) / kStoredBlockMax;
  return sizeof kZlibHeaderStored + blocks_before * kStoredBlockHeader + data_offset;
}

// The data of one band, split into blocks as the whole stream is.
class BandWriter {
 public:
  BandWriter(std::uint8_t* stream, std::size_t data_offset, std::size_t data_size)
      : out_(stream + stream_offset(data_offset)), data_(data_offset), data_size_(data_size) {}

  void append(const std::uint8_t* bytes, std::size_t length) {
    adler_ = static_cast<std::uint32_t>(libdeflate_adler32(adler_, bytes, length));
    std::uint8_t* const start = out_;
    while (length > 0) {
      const std::size_t in_block = data_ % kStoredBlockMax;
      if (in_block == 0) start_block();
      const std::size_t room = kStoredBlockMax - in_block;
      const std::size_t piece = std::min(length, room);
      std::memcpy(out_, bytes, piece);
      out_ += piece, bytes += piece, length -= piece, data_ += piece;
    }
    crc_ = static_cast<std::uint32_t>(libdeflate_crc32(crc_, start, out_ - start));
  }

  std::uint32_t adler() const { return adler_; }
  std::uint32_t crc() const { return crc_; }

 private:
  void start_block() {
    const std::size_t left = data_size_ - data_;
    const std::size_t length = std::min(left, kStoredBlockMax);
    out_[0] = left == length ? 1 : 0;  // the final block
    out_[1] = static_cast<std::uint8_t>(length);
    out_[2] = static_cast<std::uint8_t>(length >> 8);
    out_[3] = static_cast<std::uint8_t>(~length);
    out_[4] = static_cast<std::uint8_t>(~length >> 8);
    out_ += kStoredBlockHeader;
  }

  std::uint8_t* out_;
  std::size_t data_;  // offset of the next data byte in the whole stream's data
  std::size_t data_size_;
  std::uint32_t adler_ = 1;
  std::uint32_t crc_ = 0;
};

struct BandSums {
  std::uint32_t first_row;
  std::uint32_t adler;  // of the band's data
  std::uint32_t crc;    // of the band's bytes in the stream
  std::size_t data_size;
  std::size_t stream_size;
};

void put_u32(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

}  // namespace

std::size_t stored_rows_stream_size(const StoredRows& rows) {
  const std::size_t data_size = (rows.length + 1) * rows.count;
  return stream_offset(data_size) + kZlibTrailerLength;
}

bool write_stored_rows(const StoredRows& rows, std::uint8_t* out, std::uint32_t* crc) {
  const std::size_t line = rows.length + 1;
  const std::size_t data_size = line * rows.count;
  std::memcpy(out, kZlibHeaderStored, sizeof kZlibHeaderStored);
  std::mutex mutex;
  std::vector<BandSums> bands;
  bool scratch_failed = false;
  bands.reserve(64);
  for_each_band(
      rows.count, rows.granule, rows.min_rows_per_band,
      [&](std::uint32_t first, std::uint32_t last) {
        std::unique_ptr<std::uint8_t[]> scratch(new (std::nothrow) std::uint8_t[rows.scratch_size]);
        if (!scratch) {
          std::lock_guard<std::mutex> lock(mutex);
          scratch_failed = true;
          return;
        }
        const std::size_t data_offset = line * first;
        BandWriter writer(out, data_offset, data_size);
        const std::uint8_t filter_none = 0;
        for (std::uint32_t row = first; row < last; row += rows.granule) {
          const std::uint32_t n = std::min(rows.granule, last - row);
          const std::uint8_t* given = rows.rows(row, n, scratch.get());
          for (std::uint32_t i = 0; i < n; ++i) {
            writer.append(&filter_none, 1);
            writer.append(given + i * rows.length, rows.length);
          }
        }
        const std::size_t band_data = line * (last - first);
        const BandSums sums{first, writer.adler(), writer.crc(), band_data,
                            stream_offset(data_offset + band_data) - stream_offset(data_offset)};
        std::lock_guard<std::mutex> lock(mutex);
        bands.push_back(sums);
      });
  if (scratch_failed) return false;
  std::sort(bands.begin(), bands.end(),
            [](const BandSums& a, const BandSums& b) { return a.first_row < b.first_row; });
  std::uint32_t adler = 1;
  std::uint32_t sum = static_cast<std::uint32_t>(
      libdeflate_crc32(*crc, kZlibHeaderStored, sizeof kZlibHeaderStored));
  for (const BandSums& band : bands) {
    adler = static_cast<std::uint32_t>(
        adler32_combine(adler, band.adler, static_cast<z_off_t>(band.data_size)));
    sum = static_cast<std::uint32_t>(
        crc32_combine(sum, band.crc, static_cast<z_off_t>(band.stream_size)));
  }
  std::uint8_t* trailer = out + stream_offset(data_size);
  put_u32(trailer, adler);
  *crc = static_cast<std::uint32_t>(libdeflate_crc32(sum, trailer, kZlibTrailerLength));
  return true;
}

}  // namespace korvel::d3d9
