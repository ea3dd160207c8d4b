// Content that compresses about as well as real entries do (between 2 and 4
// to 1): runs of vertex floats, index lists, names and padding.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel::bench {

inline std::vector<std::uint8_t> game_like_content(std::size_t size) {
  std::vector<std::uint8_t> content;
  content.reserve(size);
  std::uint32_t seed = 12345;
  for (int block = 0; content.size() < size; ++block) {
    for (int v = 0; v < 512; ++v) {
      const float values[3] = {std::sin(static_cast<float>(v) * 0.01f + static_cast<float>(block)),
                               std::cos(static_cast<float>(v) * 0.013f),
                               static_cast<float>(v % 64) * 0.25f};
      content.insert(content.end(), reinterpret_cast<const std::uint8_t*>(values),
                     reinterpret_cast<const std::uint8_t*>(values) + sizeof(values));
    }
    for (std::uint16_t i = 0; i < 768; ++i) {
      seed = seed * 1103515245u + 12345u;
      const auto index = static_cast<std::uint16_t>(i / 3 + ((seed >> 16) & 7));
      content.push_back(static_cast<std::uint8_t>(index));
      content.push_back(static_cast<std::uint8_t>(index >> 8));
    }
    const std::string name = "mesh_" + std::to_string(block) + "_material_diffuse_texture";
    content.insert(content.end(), name.begin(), name.end());
    content.insert(content.end(), 256 - name.size() % 256, 0);
  }
  content.resize(size);
  return content;
}

}  // namespace korvel::bench
