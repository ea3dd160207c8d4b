// Pixels as the image helpers hand them over, and how a helper reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::d3d9 {

// Rows top to bottom, 4 bytes per pixel in the order R, G, B, A, no padding.
struct RgbaImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

enum class ImageStatus {
  kOk,
  kCorrupt,      // the bytes contradict themselves or are cut short
  kUnsupported,  // a valid file of a kind we do not read, or beyond our limits
  kFailed,       // the encoder or the allocator gave up
};

// The outcome, with a short text that names what is at fault.
struct ImageResult {
  ImageStatus status = ImageStatus::kOk;
  std::string message;

  bool ok() const { return status == ImageStatus::kOk; }
};

}  // namespace korvel::d3d9
