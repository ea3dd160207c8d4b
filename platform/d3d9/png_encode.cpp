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

// A zlib stream of stored deflate blocks: a 32 KiB window, no compression.
constexpr std::uint8_t kZlibHeaderStored[2] = {0x78, 0x01};
constexpr std::size_t kZlibTrailerLength = 4;  // Adler-32 of the data
constexpr std::size_t kStoredBlockMax = 0xFFFF;
constexpr std::size_t kStoredBlockHeader = 5;  // final bit and type, length, its complement

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

std::size_t stored_stream_size(std::size_t data_size) {
  const std::size_t blocks = data_size / kStoredBlockMax + 1;
  return sizeof kZlibHeaderStored + blocks * kStoredBlockHeader + data_size + kZlibTrailerLength;
}

// Stored deflate blocks, each a 5-byte header and up to 64 KiB of data, taken
// from a run of pieces that need not match the blocks.
class StoredBlockWriter {
 public:
  StoredBlockWriter(std::uint8_t* out, std::size_t data_size) : out_(out), left_(data_size) {
    std::memcpy(out_, kZlibHeaderStored, sizeof kZlibHeaderStored);
    out_ += sizeof kZlibHeaderStored;
    if (left_ == 0) start_block();
  }

  void append(const std::uint8_t* bytes, std::size_t length) {
    adler_ = static_cast<std::uint32_t>(libdeflate_adler32(adler_, bytes, length));
    while (length > 0) {
      if (room_ == 0) start_block();
      const std::size_t piece = length < room_ ? length : room_;
      std::memcpy(out_, bytes, piece);
      out_ += piece, bytes += piece, length -= piece, room_ -= piece;
    }
  }

  // Writes the checksum after the last block; returns the end of the stream.
  std::uint8_t* finish() {
    put_u32(out_, adler_);
    return out_ + kZlibTrailerLength;
  }

 private:
  void start_block() {
    const std::size_t length = left_ < kStoredBlockMax ? left_ : kStoredBlockMax;
    left_ -= length;
    out_[0] = left_ == 0 ? 1 : 0;
    out_[1] = static_cast<std::uint8_t>(length);
    out_[2] = static_cast<std::uint8_t>(length >> 8);
    out_[3] = static_cast<std::uint8_t>(~length);
    out_[4] = static_cast<std::uint8_t>(~length >> 8);
    out_ += kStoredBlockHeader;
    room_ = length;
  }

  std::uint8_t* out_;
  std::size_t left_;  // data not yet given a block
  std::size_t room_ = 0;
  std::uint32_t adler_ = 1;
};

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

// Unfiltered rows straight from the image into stored blocks: one copy of the
// pixels and two checksums, for a picture shown once and dropped. An opaque
// picture goes as RGB: a quarter fewer bytes to move and to read back.
std::size_t write_stored_rows(const RgbaImage& image, bool rgb, std::uint8_t* out) {
  const std::size_t rgba_length = std::size_t{image.width} * 4;
  const std::size_t row_length = rgb ? std::size_t{image.width} * 3 : rgba_length;
  // The filter byte, the colours and one byte of slack: each pixel is copied
  // as four bytes, the fourth overwritten by the next pixel's first.
  std::vector<std::uint8_t> packed(rgb ? row_length + 2 : 0);
  StoredBlockWriter writer(out, (row_length + 1) * image.height);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.pixels.data() + y * rgba_length;
    if (!rgb) {
      const std::uint8_t filter_none = 0;
      writer.append(&filter_none, 1);
      writer.append(row, row_length);
      continue;
    }
    // The filter byte (none) and the row's colours, one append per row.
    std::uint8_t* to = packed.data();
    *to++ = 0;
    for (std::uint32_t x = 0; x < image.width; ++x, to += 3, row += 4) std::memcpy(to, row, 4);
    writer.append(packed.data(), row_length + 1);
  }
  return static_cast<std::size_t>(writer.finish() - out);
}

}  // namespace

ImageResult encode_png(const RgbaImage& image, std::vector<std::uint8_t>* png, PngPacking packing) {
  png->clear();
  if (image.width == 0 || image.height == 0 || image.width > kMaxPngSide ||
      image.height > kMaxPngSide || image.pixels.size() / 4 / image.width != image.height ||
      image.pixels.size() != std::size_t{image.width} * image.height * 4) {
    return {ImageStatus::kCorrupt, "image size does not match its pixels"};
  }
  const bool quick = packing == PngPacking::kQuick;
  // A file to keep takes the smallest exact colour type, as other encoders do.
  PngPixels pixels;
  pixels.row_length = std::size_t{image.width} * 4;
  if (!quick) {
    pixels = reduce_for_png(image);
  } else if (all_opaque(image)) {
    pixels.colour_type = kPngColourRgb;
    pixels.filter_unit = 3;
    pixels.row_length = std::size_t{image.width} * 3;
  }
  const PngRowSource source{pixels.rows.empty() ? image.pixels.data() : pixels.rows.data(),
                            pixels.row_length, image.height, pixels.filter_unit};
  const std::size_t filtered_size = png_filtered_size(source);
  const std::size_t bound = stored_stream_size(filtered_size);
  if (quick && bound > kMaxChunkLength) {
    return {ImageStatus::kUnsupported, "image too large for one chunk"};
  }

  // A file to keep is filtered and deflated first, on every core; the stream
  // is often a hundredth of the pixels.
  std::vector<std::uint8_t> deflated;
  if (!quick) {
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
  std::size_t stream_length = deflated.size();

  const std::size_t header = sizeof kPngSignature + kIhdrLength + kChunkFraming;
  const std::size_t palette_chunks =
      (pixels.palette.empty() ? 0 : kChunkFraming + pixels.palette.size()) +
      (pixels.transparency.empty() ? 0 : kChunkFraming + pixels.transparency.size());
  // Stored rows go straight into the IDAT chunk; the buffer shrinks after.
  resize_fresh_buffer(
      png, header + palette_chunks + (quick ? bound : stream_length) + 2 * kChunkFraming);
  std::uint8_t* out = png->data();
  std::memcpy(out, kPngSignature, sizeof kPngSignature);
  std::uint8_t* ihdr = out + sizeof kPngSignature;
  put_u32(ihdr + 8, image.width);
  put_u32(ihdr + 12, image.height);
  // Deflate, adaptive filtering, no interlace.
  const std::uint8_t ihdr_tail[5] = {pixels.bit_depth, pixels.colour_type, 0, 0, 0};
  std::memcpy(ihdr + 16, ihdr_tail, sizeof ihdr_tail);
  frame_chunk(ihdr, "IHDR", kIhdrLength);

  std::uint8_t* idat = out + header;
  if (!pixels.palette.empty()) {
    std::memcpy(idat + 8, pixels.palette.data(), pixels.palette.size());
    idat += frame_chunk(idat, "PLTE", pixels.palette.size());
  }
  if (!pixels.transparency.empty()) {
    std::memcpy(idat + 8, pixels.transparency.data(), pixels.transparency.size());
    idat += frame_chunk(idat, "tRNS", pixels.transparency.size());
  }
  if (quick) {
    stream_length = write_stored_rows(image, pixels.colour_type == kPngColourRgb, idat + 8);
  } else {
    std::memcpy(idat + 8, deflated.data(), stream_length);
  }
  std::uint8_t* iend = idat + frame_chunk(idat, "IDAT", stream_length);
  iend += frame_chunk(iend, "IEND", 0);
  png->resize(static_cast<std::size_t>(iend - out));
  return {};
}

ImageResult dds_first_level_to_png(const std::uint8_t* file, std::size_t size,
                                   std::vector<std::uint8_t>* png, PngPacking packing) {
  png->clear();
  RgbaImage image;
  ImageResult result = decode_dds_first_level(file, size, &image);
  if (!result.ok()) return result;
  return encode_png(image, png, packing);
}

}  // namespace korvel::d3d9
