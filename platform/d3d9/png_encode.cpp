#include "platform/d3d9/png_encode.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/fresh_buffer.h"
#include "platform/d3d9/parallel_deflate.h"
#include "platform/d3d9/png_filter.h"
#include "platform/d3d9/png_reduce.h"
#include "platform/d3d9/stored_rows.h"

namespace korvel::d3d9 {
namespace {

// Chunks are written by hand and deflate is libdeflate's: libpng and libspng
// both deflate through zlib, which was most of the texture page's time.
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kIhdrLength = 13;
constexpr std::size_t kChunkFraming = 12;  // length, type and CRC around the data
// A chunk's length field is limited to 2^31 - 1.
constexpr std::size_t kMaxChunkLength = 0x7FFFFFFF;
// The largest side a PNG may state is the same limit.
constexpr std::uint32_t kMaxPngSide = 0x7FFFFFFF;

// Measured in bench/bench_extract_png: level 6 keeps both textures' files
// within 0.84 of ImageMagick's, in half the time of level 7 on the smooth one.
constexpr int kCompactDeflateLevel = 6;

void put_u32(std::uint8_t* out, std::uint32_t value) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

// Frames the data already at chunk + 8 as a chunk of the given type; returns
// the bytes the chunk takes.
std::size_t frame_chunk(std::uint8_t* chunk, const char type[4], std::size_t length) {
  put_u32(chunk, static_cast<std::uint32_t>(length));
  std::memcpy(chunk + 4, type, 4);
  const auto crc = static_cast<std::uint32_t>(libdeflate_crc32(0, chunk + 4, length + 4));
  put_u32(chunk + 8 + length, crc);
  return length + kChunkFraming;
}

// Each pixel's colours as RGB, in place when rgb == rgba: each pixel is
// copied as four bytes, the fourth overwritten by the next pixel's first, and
// no write reaches a pixel not yet read.
void pack_rgb(const std::uint8_t* rgba, std::size_t pixels, std::uint8_t* rgb) {
  if (pixels == 0) return;
  for (std::size_t i = 0; i + 1 < pixels; ++i) {
    std::uint32_t word;
    std::memcpy(&word, rgba + 4 * i, 4);
    std::memcpy(rgb + 3 * i, &word, 4);
  }
  const std::size_t last = pixels - 1;
  const std::uint8_t r = rgba[4 * last], g = rgba[4 * last + 1], b = rgba[4 * last + 2];
  rgb[3 * last] = r, rgb[3 * last + 1] = g, rgb[3 * last + 2] = b;
}

// Whether every pixel's alpha is 255. Rows are checked whole, so that a
// translucent picture is found out early at little cost.
bool all_opaque(const RgbaImage& image) {
  const std::size_t row_length = std::size_t{image.width} * 4;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.pixels.data() + y * row_length;
    std::uint8_t alpha = 0xFF;
    for (std::size_t x = 3; x < row_length; x += 4) alpha &= row[x];
    if (alpha != 0xFF) return false;
  }
  return true;
}

// Rows the quick PNG takes at a time (a multiple of a DXT block's height; 16
// rows of a 2048-pixel level stay in the cache), and the fewest pixels worth
// a thread.
constexpr std::uint32_t kQuickGranule = 16;
constexpr std::uint32_t kMinQuickPixelsPerBand = 1u << 18;

// The signature and the IHDR chunk: deflate, adaptive filtering, no interlace.
void write_signature_and_header(std::uint8_t* out, std::uint32_t width, std::uint32_t height,
                                std::uint8_t bit_depth, std::uint8_t colour_type) {
  std::memcpy(out, kPngSignature, sizeof kPngSignature);
  std::uint8_t* ihdr = out + sizeof kPngSignature;
  put_u32(ihdr + 8, width);
  put_u32(ihdr + 12, height);
  const std::uint8_t ihdr_tail[5] = {bit_depth, colour_type, 0, 0, 0};
  std::memcpy(ihdr + 16, ihdr_tail, sizeof ihdr_tail);
  frame_chunk(ihdr, "IHDR", kIhdrLength);
}

// The fastest PNG there is, for a picture shown once and dropped: rows
// unfiltered in stored blocks, RGB when opaque (a quarter fewer bytes to move
// and to read back), written on every core straight from where rows come.
ImageResult write_quick_png(std::uint32_t width, std::uint32_t height, bool rgb, StoredRows rows,
                            std::vector<std::uint8_t>* png) {
  rows.count = height;
  rows.length = std::size_t{width} * (rgb ? 3 : 4);
  rows.min_rows_per_band = kMinQuickPixelsPerBand / width + 1;
  const std::size_t stream_length = stored_rows_stream_size(rows);
  if (stream_length > kMaxChunkLength) {
    return {ImageStatus::kUnsupported, "image too large for one chunk"};
  }
  const std::size_t header = sizeof kPngSignature + kIhdrLength + kChunkFraming;
  resize_fresh_buffer(png, header + stream_length + 2 * kChunkFraming);
  std::uint8_t* out = png->data();
  write_signature_and_header(out, width, height, 8, rgb ? kPngColourRgb : kPngColourRgba);
  std::uint8_t* idat = out + header;
  put_u32(idat, static_cast<std::uint32_t>(stream_length));
  std::memcpy(idat + 4, "IDAT", 4);
  std::uint32_t crc = static_cast<std::uint32_t>(libdeflate_crc32(0, idat + 4, 4));
  if (!write_stored_rows(rows, idat + 8, &crc)) {
    png->clear();
    return {ImageStatus::kFailed, "out of memory for the rows"};
  }
  put_u32(idat + 8 + stream_length, crc);
  frame_chunk(idat + stream_length + kChunkFraming, "IEND", 0);
  return {};
}

}  // namespace

ImageResult encode_png(const RgbaImage& image, std::vector<std::uint8_t>* png, PngPacking packing) {
  png->clear();
  if (image.width == 0 || image.height == 0 || image.width > kMaxPngSide ||
      image.height > kMaxPngSide || image.pixels.size() / 4 / image.width != image.height ||
      image.pixels.size() != std::size_t{image.width} * image.height * 4) {
    return {ImageStatus::kCorrupt, "image size does not match its pixels"};
  }
  if (packing == PngPacking::kQuick) {
    const bool rgb = all_opaque(image);
    const std::size_t rgba_length = std::size_t{image.width} * 4;
    StoredRows rows;
    rows.granule = kQuickGranule;
    rows.scratch_size = rgba_length * kQuickGranule;
    rows.rows = [&](std::uint32_t first, std::uint32_t n, std::uint8_t* scratch) {
      const std::uint8_t* from = image.pixels.data() + first * rgba_length;
      if (!rgb) return from;
      pack_rgb(from, std::size_t{image.width} * n, scratch);
      return static_cast<const std::uint8_t*>(scratch);
    };
    return write_quick_png(image.width, image.height, rgb, std::move(rows), png);
  }

  // A file to keep takes the smallest exact colour type, as other encoders do.
  const PngPixels pixels = reduce_for_png(image);
  const PngRowSource source{pixels.rows.empty() ? image.pixels.data() : pixels.rows.data(),
                            pixels.row_length, image.height, pixels.filter_unit};
  const std::size_t filtered_size = png_filtered_size(source);
  // Filtered and deflated first, on every core; the stream is often a
  // hundredth of the pixels.
  std::vector<std::uint8_t> deflated;
  {
    std::unique_ptr<std::uint8_t[]> filtered(new (std::nothrow) std::uint8_t[filtered_size]);
    if (!filtered) return {ImageStatus::kFailed, "out of memory for the rows"};
    // Palette indices compress best unfiltered.
    filter_png_rows(source, pixels.colour_type != kPngColourPalette, filtered.get());
    if (!deflate_zlib_in_bands(filtered.get(), filtered_size, kCompactDeflateLevel, &deflated)) {
      return {ImageStatus::kFailed, "out of memory for deflating the rows"};
    }
    if (deflated.size() > kMaxChunkLength) {
      return {ImageStatus::kUnsupported, "image too large for one chunk"};
    }
  }
  const std::size_t header = sizeof kPngSignature + kIhdrLength + kChunkFraming;
  const std::size_t palette_chunks =
      (pixels.palette.empty() ? 0 : kChunkFraming + pixels.palette.size()) +
      (pixels.transparency.empty() ? 0 : kChunkFraming + pixels.transparency.size());
  png->resize(header + palette_chunks + deflated.size() + 2 * kChunkFraming);
  std::uint8_t* out = png->data();
  write_signature_and_header(out, image.width, image.height, pixels.bit_depth, pixels.colour_type);
  std::uint8_t* idat = out + header;
  if (!pixels.palette.empty()) {
    std::memcpy(idat + 8, pixels.palette.data(), pixels.palette.size());
    idat += frame_chunk(idat, "PLTE", pixels.palette.size());
  }
  if (!pixels.transparency.empty()) {
    std::memcpy(idat + 8, pixels.transparency.data(), pixels.transparency.size());
    idat += frame_chunk(idat, "tRNS", pixels.transparency.size());
  }
  std::memcpy(idat + 8, deflated.data(), deflated.size());
  std::uint8_t* iend = idat + frame_chunk(idat, "IDAT", deflated.size());
  frame_chunk(iend, "IEND", 0);
  return {};
}

ImageResult dds_first_level_to_png(const std::uint8_t* file, std::size_t size,
                                   std::vector<std::uint8_t>* png, PngPacking packing) {
  png->clear();
  if (packing == PngPacking::kCompact) {
    RgbaImage image;
    ImageResult result = decode_dds_first_level(file, size, &image);
    if (!result.ok()) return result;
    return encode_png(image, png, packing);
  }
  // The quick PNG is written as the level decodes, a few rows at a time on
  // each core, so that the whole picture never sits in memory twice.
  DdsLevel level;
  ImageResult result = find_dds_first_level(file, size, &level);
  if (!result.ok()) return result;
  const bool rgb = dds_level_opaque(level);
  const std::size_t rgba_length = std::size_t{level.width} * 4;
  StoredRows rows;
  static_assert(kQuickGranule % 4 == 0, "bands start at a row of blocks");
  rows.granule = kQuickGranule;
  rows.scratch_size = rgba_length * kQuickGranule;
  rows.rows = [&](std::uint32_t first, std::uint32_t n, std::uint8_t* scratch) {
    decode_dds_rows(level, first, first + n, scratch);
    if (rgb) pack_rgb(scratch, std::size_t{level.width} * n, scratch);
    return static_cast<const std::uint8_t*>(scratch);
  };
  return write_quick_png(level.width, level.height, rgb, std::move(rows), png);
}

}  // namespace korvel::d3d9
