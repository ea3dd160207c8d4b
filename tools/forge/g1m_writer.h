// Writes G1M model containers (layout in formats/g1m_format.h) from a
// description, including the malformed ones tests need: any declared size or
// count can be overridden.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "formats/g1m_format.h"
#include "tools/forge/byte_sink.h"

namespace korvel::forge {

struct G1mVertexBuffer {
  std::uint32_t stride = 0;
  std::uint32_t vertex_count = 0;
  Bytes data;               // written as it is, whatever the byte order
  std::uint32_t word0 = 0;  // header words the format leaves uninterpreted
  std::uint32_t word3 = 0;
};

struct G1mIndexBuffer {
  std::uint32_t index_bits = 16;
  std::vector<std::uint32_t> indices;  // index_bits / 8 bytes each, in the archive's order
  std::uint32_t word2 = 0;
  std::optional<std::uint32_t> declared_count;
  std::optional<std::uint32_t> declared_bits;  // in the header only; indices keep index_bits
};

struct G1mSubmesh {
  std::uint32_t buffer = 0;
  std::uint32_t first_vertex = 0;
  std::uint32_t vertex_count = 0;
  std::uint32_t first_index = 0;
  std::uint32_t index_count = 0;
  // Words 0, 2-9 (the viewer reads none of them), in that order.
  std::array<std::uint32_t, 9> other_words{};
};

struct G1mSection {
  std::uint32_t type = 0;
  Bytes body;  // a skipped or unknown section: its bytes after the header
  std::vector<G1mVertexBuffer> vertex_buffers;  // type 0x00010004
  std::vector<G1mIndexBuffer> index_buffers;    // type 0x00010007
  std::vector<G1mSubmesh> submeshes;            // type 0x00010008
  std::optional<std::uint32_t> declared_size;
  std::optional<std::uint32_t> declared_count;  // of a parsed section
  std::optional<Bytes> raw;                     // written as it is instead
};

struct G1mChunk {
  std::uint32_t id = 0;
  std::uint32_t version = 0;
  Bytes body;                        // any chunk but G1MG: its bytes after the header
  std::vector<G1mSection> sections;  // G1MG
  std::array<float, 6> bounds{};     // G1MG: bounding box, minimum then maximum
  std::optional<std::uint32_t> declared_size;
  std::optional<std::uint32_t> declared_section_count;
  std::optional<Bytes> raw;  // written as it is instead
};

struct G1mModel {
  bool big_endian = false;
  std::uint32_t version = g1m::kContainerVersion;
  std::vector<G1mChunk> chunks;
  std::optional<std::uint32_t> declared_chunk_count;
};

Bytes write_g1m(const G1mModel& model);
// One chunk on its own, for tests that nest or splice chunks.
Bytes write_g1m_chunk(const G1mChunk& chunk, bool big_endian);

// Shorthands for descriptions.
G1mChunk plain_chunk(std::uint32_t id, std::uint32_t version, Bytes body);
G1mChunk geometry_chunk(std::uint32_t version, std::vector<G1mSection> sections);
G1mSection plain_section(std::uint32_t type, Bytes body);
G1mSection vertex_section(std::vector<G1mVertexBuffer> buffers);
G1mSection index_section(std::vector<G1mIndexBuffer> buffers);
G1mSection submesh_section(std::vector<G1mSubmesh> submeshes);

}  // namespace korvel::forge
