// What fuzz_dds does with one input (a DDS file), shared with the corpus
// replay test: decode the first level, and encode small results as PNG; the
// texture page's PNG, written as the level decodes, must be the same bytes as
// the decoded level's.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_encode.h"

namespace korvel::fuzz {

inline void run_dds_input(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> file(data, data + size);
  d3d9::RgbaImage image;
  const d3d9::ImageResult result = d3d9::decode_dds_first_level(file.data(), file.size(), &image);
  std::vector<std::uint8_t> direct;
  const bool direct_ok = d3d9::dds_first_level_to_png(file.data(), file.size(), &direct).ok();
  if (!result.ok()) {
    if (!image.pixels.empty() || result.message.empty()) std::abort();
    if (direct_ok || !direct.empty()) std::abort();
    return;
  }
  if (image.pixels.size() != std::size_t{image.width} * image.height * 4) std::abort();
  if (std::size_t{image.width} * image.height <= 256 * 256) {
    std::vector<std::uint8_t> png;
    if (!d3d9::encode_png(image, &png).ok()) std::abort();
    if (!direct_ok || direct != png) std::abort();
  }
}

}  // namespace korvel::fuzz
