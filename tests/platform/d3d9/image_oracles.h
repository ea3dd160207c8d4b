// Second readings of images for the tests: libpng's own reader for PNG files,
// and Pillow (Debian's python3-pil) for any file it can open.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/d3d9/rgba_image.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {

// Decodes a PNG file to RGBA with libpng's simplified reader (grey and RGB
// files get alpha 255). False when libpng refuses it.
inline bool read_png_rgba(const std::vector<std::uint8_t>& file, d3d9::RgbaImage* image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, file.data(), file.size())) return false;
  png.format = PNG_FORMAT_RGBA;
  image->width = png.width;
  image->height = png.height;
  image->pixels.assign(PNG_IMAGE_SIZE(png), 0);
  if (!png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr)) {
    png_image_free(&png);
    return false;
  }
  return true;
}

// Pillow's RGBA reading of the file at path; false when Pillow fails.
inline bool read_with_pillow(const std::string& path, d3d9::RgbaImage* image) {
  TempDir scratch;
  const std::string raw = scratch.file("pixels.raw");
  const std::string command =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
      "im = im.convert('RGBA'); open(sys.argv[2], 'wb').write(im.tobytes()); "
      "print(im.size[0], im.size[1])\" '" +
      path + "' '" + raw + "' > '" + scratch.file("size.txt") + "'";
  if (run_command(command) != 0) return false;
  const std::string size = read_text(scratch.file("size.txt"));
  if (std::sscanf(size.c_str(), "%u %u", &image->width, &image->height) != 2) return false;
  image->pixels = read_bytes(raw);
  return image->pixels.size() == std::size_t{image->width} * image->height * 4;
}

// The largest difference of any channel; channels counts 3 (RGB) or 4.
inline int largest_difference(const d3d9::RgbaImage& a, const d3d9::RgbaImage& b, int channels) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return 256;
  int largest = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    if (static_cast<int>(i % 4) >= channels) continue;
    const int difference = std::abs(int{a.pixels[i]} - int{b.pixels[i]});
    if (difference > largest) largest = difference;
  }
  return largest;
}

}  // namespace korvel::test
