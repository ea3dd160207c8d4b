// Small models with known geometry, and a harness that runs decode_g1m on
// them the way dispatch does (payload bytes with no room after them, so the
// sanitizer build sees any read past the end).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/console_message.h"
#include "formats/g1m_format.h"
#include "fuzz/g1m_harness.h"
#include "tools/forge/g1m_writer.h"

namespace korvel::test {

using forge::Bytes;

// Recognisable vertex bytes: no two neighbours equal, so a swap shows.
inline Bytes vertex_bytes(std::size_t count, std::uint8_t seed) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + 3 * i);
  return bytes;
}

inline forge::G1mVertexBuffer vertex_buffer(std::uint32_t stride, std::uint32_t count,
                                            std::uint8_t seed = 1) {
  forge::G1mVertexBuffer buffer;
  buffer.stride = stride;
  buffer.vertex_count = count;
  buffer.data = vertex_bytes(std::size_t{stride} * count, seed);
  buffer.word0 = 0x11223344;
  buffer.word3 = 0x55667788;
  return buffer;
}

inline forge::G1mIndexBuffer index_buffer(std::uint32_t bits, std::vector<std::uint32_t> indices) {
  forge::G1mIndexBuffer buffer;
  buffer.index_bits = bits;
  buffer.indices = std::move(indices);
  buffer.word2 = 0x01020304;
  return buffer;
}

inline forge::G1mSubmesh submesh(std::uint32_t buffer, std::uint32_t first_vertex,
                                 std::uint32_t vertex_count, std::uint32_t first_index,
                                 std::uint32_t index_count) {
  forge::G1mSubmesh record{buffer, first_vertex, vertex_count, first_index, index_count, {}};
  for (std::size_t i = 0; i < record.other_words.size(); ++i) {
    record.other_words[i] = 0xA0B0C000u + static_cast<std::uint32_t>(i);
  }
  return record;
}

// One quad as a strip: a 36-byte vertex buffer of 4 vertices, 16-bit
// indices 0 1 2 3 and one submesh.
inline std::vector<forge::G1mSection> quad_sections(std::uint32_t bits = 16) {
  return {forge::vertex_section({vertex_buffer(36, 4)}),
          forge::index_section({index_buffer(bits, {0, 1, 2, 3})}),
          forge::submesh_section({submesh(0, 0, 4, 0, 4)})};
}

inline forge::G1mModel model_of(bool big_endian, std::vector<forge::G1mChunk> chunks) {
  forge::G1mModel model;
  model.big_endian = big_endian;
  model.chunks = std::move(chunks);
  return model;
}

inline forge::G1mModel quad_model(bool big_endian) {
  return model_of(big_endian, {forge::geometry_chunk(g1m::kGeometryVersion44, quad_sections())});
}

inline Bytes raw_bytes(bool big_endian, std::vector<std::uint32_t> words) {
  forge::ByteSink sink(big_endian);
  for (std::uint32_t word : words) sink.u32(word);
  return sink.take();
}

// Collects the console messages shown while it lives.
class MessageLog {
 public:
  MessageLog() { previous_ = set_console_message_handler(&record); }
  ~MessageLog() { set_console_message_handler(previous_); }
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  static std::vector<std::string>& messages() {
    static std::vector<std::string> log;
    return log;
  }

 private:
  static void record(const char* command_line) { messages().push_back(command_line); }
  ConsoleMessageHandler previous_ = nullptr;
};

inline const char* const kUnknownChunkMessage = "pause | 致命错误：未知的 G1M_ 子数据块 格式！";
inline const char* const kUnknownSectionMessage = "pause | 致命错误：未知的 G1MG子数据块 格式！";

// An Archive with an entry element numbered 0 to decode under.
class ModelDecoder {
 public:
  explicit ModelDecoder(bool big_endian, const std::string& key = fuzz::kModelKey) {
    archive.big_endian = big_endian ? 1 : 0;
    archive.requested_key = key;
    entry = fuzz::entry_element(&tree);
    MessageLog::messages().clear();
  }

  int decode(const Bytes& payload) {
    payloads_.push_back(payload);  // exactly its length, no room after it
    const Bytes& kept = payloads_.back();
    return archive.decode_g1m(entry, kept.data(), static_cast<std::uint32_t>(kept.size()), nullptr,
                              nullptr, nullptr);
  }

  std::uint32_t image_u32(std::size_t offset) const {
    std::uint32_t value = 0;
    std::memcpy(&value, archive.image.data() + offset, 4);
    return value;
  }
  std::size_t offset_in_image(const std::uint8_t* at) const {
    return static_cast<std::size_t>(at - archive.image.data());
  }
  const std::vector<std::string>& messages() const { return MessageLog::messages(); }

  Archive archive;
  ContentTree tree;
  ContentNode* entry = nullptr;

 private:
  MessageLog log_;
  std::vector<Bytes> payloads_;
};

// Names the instances of tests run in both byte orders.
inline std::string byte_order_name(const testing::TestParamInfo<bool>& param_info) {
  return param_info.param ? "BigEndian" : "LittleEndian";
}

// Offsets in a model written by write_g1m with one G1MG chunk first.
constexpr std::size_t kFirstSectionOffset = g1m::kFirstChunkOffset + g1m::kGeometryHeaderSize;

}  // namespace korvel::test
