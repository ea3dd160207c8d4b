// Payload contents for container tests: text that compresses well, and
// noise that does not.
#pragma once

#include <cstdint>
#include <string>

#include "tools/forge/byte_sink.h"

namespace korvel::test {

inline forge::Bytes text_of(std::size_t size, const std::string& label) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) {
    text += label + " " + std::to_string(line) + " of test content\n";
  }
  text.resize(size);
  return forge::Bytes(text.begin(), text.end());
}

inline forge::Bytes noise_of(std::size_t size, std::uint32_t seed) {
  forge::Bytes bytes(size);
  for (std::uint8_t& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(seed >> 16);
  }
  return bytes;
}

}  // namespace korvel::test
