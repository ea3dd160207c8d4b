#include "platform/d3d9/png_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9/dds_decode.h"
#include "platform/limits.h"

namespace korvel::d3d9 {
namespace {

constexpr std::size_t kPngSignatureSize = 8;

struct PngInput {
  const std::uint8_t* bytes;
  std::size_t size;
  std::size_t position;
  char message[128];
};

void read_bytes(png_structp png, png_bytep out, png_size_t length) {
  auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
  if (length > input->size - input->position) png_error(png, "the file ends inside its data");
  std::memcpy(out, input->bytes + input->position, length);
  input->position += length;
}

// libpng's errors leave through longjmp; the text is kept for the caller.
void keep_error(png_structp png, png_const_charp message) {
  auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
  std::snprintf(input->message, sizeof input->message, "%s", message);
  png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

// libpng takes a chunk's declared length in memory before reading it, and not
// every chunk it handles is held to the chunk limit: a 100-byte file asked
// for 1.8 GB. No allocation of libpng's own needs more (the pixels are ours).
constexpr png_alloc_size_t kMaxLibpngAllocation = 2 * kMaxPngChunkBytes;

png_voidp bounded_malloc(png_structp, png_alloc_size_t size) {
  return size <= kMaxLibpngAllocation ? std::malloc(size) : nullptr;
}

void bounded_free(png_structp, png_voidp pointer) {
  std::free(pointer);
}

// Only trivially destructible locals live between setjmp and a longjmp; the
// pixel buffer is sized by the caller once the header is known.
bool read_header(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kMaxDdsSide, kMaxDdsSide);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_read_info(png, info);
  *width = png_get_image_width(png, info);
  *height = png_get_image_height(png, info);
  // Everything to 8-bit RGBA without touching the values' meaning: palette
  // and low-depth grey expand, a transparent colour becomes alpha, 16-bit
  // samples are scaled (rounded) to 8, and opaque pictures get alpha 255.
  const png_byte color_type = png_get_color_type(png, info);
  png_set_expand(png);
  png_set_scale_16(png);
  if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return png_get_rowbytes(png, info) == std::size_t{*width} * 4;
}

bool read_pixels(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  return true;
}

}  // namespace

ImageResult decode_png(const std::uint8_t* file, std::size_t size, RgbaImage* image) {
  *image = RgbaImage{};
  if (file == nullptr || size < kPngSignatureSize || png_sig_cmp(file, 0, kPngSignatureSize) != 0) {
    return {ImageStatus::kCorrupt, "not a PNG file"};
  }
  PngInput input{file, size, 0, {}};
  png_structp reader =
      png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &input, &keep_error, &ignore_warning, nullptr,
                               &bounded_malloc, &bounded_free);
  if (reader == nullptr) return {ImageStatus::kFailed, "libpng could not start"};
  png_infop info = png_create_info_struct(reader);
  if (info == nullptr) {
    png_destroy_read_struct(&reader, nullptr, nullptr);
    return {ImageStatus::kFailed, "libpng could not start"};
  }
  png_set_read_fn(reader, &input, &read_bytes);

  png_uint_32 width = 0, height = 0;
  RgbaImage decoded;
  bool read = read_header(reader, info, &width, &height);
  if (read) {
    decoded.width = width;
    decoded.height = height;
    decoded.pixels.resize(std::size_t{width} * height * 4);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
      rows[y] = decoded.pixels.data() + std::size_t{y} * width * 4;
    read = read_pixels(reader, rows.data());
  }
  png_destroy_read_struct(&reader, &info, nullptr);
  if (!read) {
    const std::string reason = input.message[0] != '\0' ? input.message : "unreadable pixel rows";
    const bool too_large = width > kMaxDdsSide || height > kMaxDdsSide ||
                           std::strstr(input.message, "exceeds user limit") != nullptr;
    return {too_large ? ImageStatus::kUnsupported : ImageStatus::kCorrupt,
            "PNG: " + (too_large ? "sides beyond " + std::to_string(kMaxDdsSide) : reason)};
  }
  *image = std::move(decoded);
  return {};
}

}  // namespace korvel::d3d9
