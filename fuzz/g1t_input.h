// What fuzz_g1t does with one input, shared with the corpus replay test.
// Byte 0 steers: bit 0 big-endian, bits 1-3 the texture asked for, bit 4
// rebuild mode, bits 5-7 the replacement's size (some of them unusable). The
// rest is the payload, in a buffer of exactly its size.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/console_message.h"

namespace korvel::fuzz {

inline void ignore_console_message(const char*) {}

// The number of texture nodes, or -1 when the payload was declined.
inline long listed_textures(Archive& archive, const std::uint8_t* payload, std::uint32_t length,
                            ByteBuffer* out = nullptr, std::uint32_t* decoded = nullptr,
                            std::uint32_t* stored = nullptr) {
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  ContentNode* entry = append_element(root, "idx_No.00000012");
  append_attribute(entry, vocab::kNumber, "00000012");
  if (archive.decode_g1t(entry, payload, length, out, decoded, stored) != 1) {
    if (entry->first_node() != nullptr || (out != nullptr && !out->empty())) std::abort();
    return -1;
  }
  long count = 0;
  for (const ContentNode* node = entry->first_node(); node; node = node->next_sibling()) ++count;
  return count;
}

// Textures one input may list: each is a node and a copy, so a table of a
// thousand only repeats the paths of a few, a thousand times per input.
inline constexpr std::uint64_t kMaxFuzzTextures = 64;

// The textures a container would list: its declared count, but no more
// offsets than its table holds.
inline std::uint64_t textures_listed(const std::uint8_t* payload, std::size_t length,
                                     bool big_endian) {
  // The table's offset and the count, 12 and 16 bytes into the header.
  if (length < 20) return 0;
  auto word = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const std::uint32_t byte = payload[at + (big_endian ? i : 3 - i)];
      value = value << 8 | byte;
    }
    return value;
  };
  const std::uint64_t table = word(12);
  const std::uint64_t room = length > table ? (length - table) / 4 : 0;
  return std::min<std::uint64_t>(word(16), room);
}

// Whether a texture container anywhere in the bytes as stored (at the top or
// inside a pack) would list more than kMaxFuzzTextures: the targets that
// reach containers through others skip such inputs, as fuzz_g1t does. Each
// listing of one made a thousand nodes, half of their time.
inline bool lists_too_many_textures(const std::uint8_t* payload, std::size_t length,
                                    bool big_endian) {
  // Byte by byte: the fuzzer's memcmp interceptor would cost more than the scan.
  for (std::size_t at = 0; at + 4 <= length; ++at) {
    const std::uint8_t* m = payload + at;
    const bool magic = m[0] == 'G' && m[3] == 'G' &&
                       ((m[1] == '1' && m[2] == 'T') || (m[1] == 'T' && m[2] == '1'));
    if (magic && textures_listed(m, length - at, big_endian) > kMaxFuzzTextures) {
      return true;
    }
  }
  return false;
}

inline void run_g1t_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 1 << 20) return;
  if (textures_listed(data + 1, size - 1, data[0] & 1) > kMaxFuzzTextures) return;
  set_console_message_handler(&ignore_console_message);
  const std::uint8_t control = data[0];
  const std::vector<std::uint8_t> payload(data + 1, data + size);
  const auto length = static_cast<std::uint32_t>(payload.size());

  Archive archive;
  archive.big_endian = control & 1;
  archive.requested_key = ".\\00000012\\" + std::to_string((control >> 1) & 7) + ".dds";
  if ((control & 0x10) == 0) {
    listed_textures(archive, payload.data(), length);
    if (!archive.image.empty() && archive.image.size() != archive.image_size + std::size_t{4}) {
      std::abort();
    }
    return;
  }

  static const std::uint32_t kSides[8] = {4, 1, 256, 65535, 0, 65536, 3, 1u << 31};
  const std::uint32_t side = kSides[control >> 5];
  archive.image.assign(128 + 64, 0x5A);
  archive.image_size = control >> 5 == 6 ? 100 : 128 + 64;  // one replacement shorter than a header
  for (int i = 0; i < 4; ++i) {
    archive.image[12 + i] = static_cast<std::uint8_t>(side >> (8 * i));
    archive.image[16 + i] = static_cast<std::uint8_t>(side >> (8 * i));
  }
  ByteBuffer rebuilt;
  std::uint32_t decoded = 0, stored = 0;
  const long before = listed_textures(archive, payload.data(), length, &rebuilt, &decoded, &stored);
  if (before < 0) return;
  if (archive.rebuild_failed) {
    if (!rebuilt.empty() || decoded != 0 || stored != 0) std::abort();
    return;
  }
  if (decoded != stored || rebuilt.size() < std::size_t{stored} + 256) std::abort();
  // What was rebuilt lists the same textures again.
  const std::vector<std::uint8_t> again(rebuilt.begin(), rebuilt.begin() + stored);
  Archive reader;
  reader.big_endian = archive.big_endian;
  if (listed_textures(reader, again.data(), stored) != before) std::abort();
}

}  // namespace korvel::fuzz
