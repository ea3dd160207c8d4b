// Runs decode_g1t on a payload the way dispatch would, under an entry element
// numbered 00000012, and gathers what it left: nodes, image, rebuild outputs,
// console messages. Also a raw G1T builder that stores bytes exactly as given,
// independent of the forge's writer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/console_message.h"
#include "formats/dds_templates.h"

namespace korvel::test {

using Bytes = std::vector<std::uint8_t>;

inline std::string texture_id(int number) {
  return ".\\00000012\\" + std::to_string(number) + ".dds";
}

struct G1tRun {
  int result = 0;
  std::vector<std::string> ids;
  Bytes image;  // the image's first image_size bytes
  bool image_untouched = false;
  Bytes rebuilt;  // the rebuilt payload's first stored_size bytes
  std::size_t rebuilt_buffer_size = 0;
  std::uint32_t decoded_size = 0;
  std::uint32_t stored_size = 0;
  bool rebuild_failed = false;
  std::vector<std::string> messages;
};

inline std::vector<std::string>& captured_messages() {
  static std::vector<std::string> messages;
  return messages;
}

inline void capture_message(const char* command_line) {
  captured_messages().push_back(command_line);
}

// Decode mode when replacement is absent, rebuild mode (with that DDS file as
// the archive's image) when given.
inline G1tRun run_g1t(const Bytes& payload, bool big_endian, const std::string& key,
                      const std::optional<Bytes>& replacement = std::nullopt) {
  Archive archive;
  archive.big_endian = big_endian ? 1 : 0;
  archive.requested_key = key;
  const Bytes untouched = {0xEE, 0xEE, 0xEE, 0xEE};
  archive.image = replacement ? *replacement : untouched;
  archive.image_size = static_cast<std::uint32_t>(archive.image.size());
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  ContentNode* entry = append_element(root, "idx_No.00000012");
  append_attribute(entry, vocab::kNumber, "00000012");

  captured_messages().clear();
  const ConsoleMessageHandler previous = set_console_message_handler(&capture_message);
  // Exactly the payload, without the usual slack, so that the sanitizers
  // catch any read past its end.
  const Bytes buffer = payload;
  G1tRun run;
  ByteBuffer out;
  if (replacement) {
    run.result =
        archive.decode_g1t(entry, buffer.data(), static_cast<std::uint32_t>(payload.size()), &out,
                           &run.decoded_size, &run.stored_size);
  } else {
    run.result =
        archive.decode_g1t(entry, buffer.data(), static_cast<std::uint32_t>(payload.size()),
                           nullptr, nullptr, nullptr);
  }
  set_console_message_handler(previous);
  run.messages = captured_messages();

  for (const ContentNode* node = entry->first_node(); node != nullptr;
       node = node->next_sibling()) {
    run.ids.push_back(attribute_value(node, vocab::kOutputId));
  }
  run.image_untouched = !replacement && archive.image == untouched;
  if (archive.image_size <= archive.image.size()) {
    run.image.assign(archive.image.begin(), archive.image.begin() + archive.image_size);
  }
  run.rebuilt_buffer_size = out.size();
  if (run.stored_size <= out.size()) run.rebuilt.assign(out.begin(), out.begin() + run.stored_size);
  run.rebuild_failed = archive.rebuild_failed;
  return run;
}

inline std::uint32_t le32(const Bytes& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes.at(offset)) | bytes.at(offset + 1) << 8 |
         bytes.at(offset + 2) << 16 | static_cast<std::uint32_t>(bytes.at(offset + 3)) << 24;
}

// A G1T container whose textures are stored byte for byte as given (record
// included); offsets and sizes computed unless overridden afterwards.
struct RawG1t {
  bool magic_g1tg = true;
  bool big_endian = false;
  Bytes header_extra;
  Bytes global_data;
  std::vector<Bytes> textures;
  Bytes trailing;  // after total_size

  std::uint32_t table_offset() const {
    return static_cast<std::uint32_t>(20 + header_extra.size());
  }

  Bytes bytes() const {
    const std::string magic = magic_g1tg ? "G1TG" : "GT1G";
    Bytes out(magic.begin(), magic.end());
    auto put32 = [&](std::uint32_t value) {
      for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (big_endian ? 24 - 8 * i : 8 * i)));
      }
    };
    put32(0x30303630);
    std::uint32_t total = table_offset() + 4 * static_cast<std::uint32_t>(textures.size()) +
                          static_cast<std::uint32_t>(global_data.size());
    for (const Bytes& texture : textures) total += static_cast<std::uint32_t>(texture.size());
    put32(total);
    put32(table_offset());
    put32(static_cast<std::uint32_t>(textures.size()));
    out.insert(out.end(), header_extra.begin(), header_extra.end());
    std::uint32_t offset = 4 * static_cast<std::uint32_t>(textures.size()) +
                           static_cast<std::uint32_t>(global_data.size());
    for (const Bytes& texture : textures) {
      put32(offset);
      offset += static_cast<std::uint32_t>(texture.size());
    }
    out.insert(out.end(), global_data.begin(), global_data.end());
    for (const Bytes& texture : textures) out.insert(out.end(), texture.begin(), texture.end());
    out.insert(out.end(), trailing.begin(), trailing.end());
    return out;
  }

  // Overwrites a u32 of the built container in its byte order.
  static void patch(Bytes& bytes, std::size_t offset, std::uint32_t value, bool big_endian) {
    for (int i = 0; i < 4; ++i) {
      bytes.at(offset + i) = static_cast<std::uint8_t>(value >> (big_endian ? 24 - 8 * i : 8 * i));
    }
  }
};

// A texture record (mip byte, format, dims, then five kept bytes) followed by
// the given bytes.
inline Bytes raw_texture(std::uint8_t mip_byte, std::uint8_t format, std::uint8_t dims,
                         const Bytes& rest) {
  Bytes texture = {mip_byte, format, dims, 0x03, 0x04, 0x05, 0x06, 0x07};
  texture.insert(texture.end(), rest.begin(), rest.end());
  return texture;
}

inline Bytes counting_bytes(std::size_t count, std::uint8_t first = 0) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// A minimal DDS file for a rebuild: the header fields a rebuild reads (sides
// and the pixel format of a G1T format code), then the pixel bytes.
inline Bytes replacement_dds(std::uint32_t width, std::uint32_t height, const Bytes& pixels,
                             std::uint8_t format_code = 6) {
  const DdsTemplate& format = format_code == 6   ? kDdsTemplateDxt1
                              : format_code == 7 ? kDdsTemplateDxt3
                              : format_code == 8 ? kDdsTemplateDxt5
                                                 : kDdsTemplateA8R8G8B8;
  Bytes dds(128, 0);
  std::memcpy(dds.data(), &format, sizeof format);
  RawG1t::patch(dds, 12, height, false);
  RawG1t::patch(dds, 16, width, false);
  dds.insert(dds.end(), pixels.begin(), pixels.end());
  return dds;
}

}  // namespace korvel::test
