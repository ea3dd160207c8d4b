#include "platform/d3d9/png_encode.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/d3d9/dds_decode.h"

namespace korvel::d3d9 {
namespace {

// Speed over size (measured in bench/bench_dds_to_png): zlib's fastest level
// and no row filters; the page decodes the PNG once and drops it.
constexpr int kPngZlibLevel = 1;
constexpr int kPngRowFilters = PNG_FILTER_NONE;
// Fewer, larger hand-overs from zlib to our buffer.
constexpr png_size_t kPngCompressionBuffer = 1 << 17;

struct PngOutput {
  std::vector<std::uint8_t>* bytes;
  char message[128];
};

void append_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
  output->bytes->insert(output->bytes->end(), data, data + length);
}

void flush_nothing(png_structp) {}

// libpng's errors leave through longjmp; the text is kept for the caller.
void keep_error(png_structp png, png_const_charp message) {
  auto* output = static_cast<PngOutput*>(png_get_error_ptr(png));
  std::snprintf(output->message, sizeof output->message, "%s", message);
  png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

// Only trivially destructible locals live between setjmp and a longjmp.
bool write_rows(png_structp png, png_infop info, const RgbaImage& image) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, kPngZlibLevel);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, kPngRowFilters);
  png_set_compression_buffer_size(png, kPngCompressionBuffer);
  png_write_info(png, info);
  const std::size_t stride = std::size_t{image.width} * 4;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    png_write_row(png, const_cast<png_bytep>(image.pixels.data() + y * stride));
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

ImageResult encode_png(const RgbaImage& image, std::vector<std::uint8_t>* png) {
  png->clear();
  if (image.width == 0 || image.height == 0 || image.width > PNG_USER_WIDTH_MAX ||
      image.height > PNG_USER_HEIGHT_MAX ||
      image.pixels.size() != std::size_t{image.width} * image.height * 4) {
    return {ImageStatus::kCorrupt, "image size does not match its pixels"};
  }
  PngOutput output{png, {}};
  png_structp writer =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, &keep_error, &ignore_warning);
  if (writer == nullptr) return {ImageStatus::kFailed, "libpng could not start"};
  png_infop info = png_create_info_struct(writer);
  if (info == nullptr) {
    png_destroy_write_struct(&writer, nullptr);
    return {ImageStatus::kFailed, "libpng could not start"};
  }
  png_set_write_fn(writer, &output, &append_bytes, &flush_nothing);
  // Mostly-flat textures shrink a lot; a guess spares most regrowth.
  png->reserve(image.pixels.size() / 4 + 1024);
  const bool written = write_rows(writer, info, image);
  png_destroy_write_struct(&writer, &info);
  if (!written) {
    png->clear();
    return {ImageStatus::kFailed, std::string("PNG encoding failed: ") + output.message};
  }
  return {};
}

ImageResult dds_first_level_to_png(const std::uint8_t* file, std::size_t size,
                                   std::vector<std::uint8_t>* png) {
  png->clear();
  RgbaImage image;
  ImageResult result = decode_dds_first_level(file, size, &image);
  if (!result.ok()) return result;
  return encode_png(image, png);
}

}  // namespace korvel::d3d9
