#include "tools/forge/g1m_writer.h"

#include <utility>

namespace korvel::forge {
namespace {

constexpr std::uint32_t kHeaderSizeField = 24;  // what stored models keep at offset 12
constexpr char kPlatformTag[4] = {'K', 'R', 'V', '\0'};

void write_index(ByteSink* sink, std::uint32_t bits, std::uint32_t index) {
  switch (bits / 8) {
    case 1:
      sink->u8(static_cast<std::uint8_t>(index));
      break;
    case 2:
      sink->u16(static_cast<std::uint16_t>(index));
      break;
    case 4:
      sink->u32(index);
      break;
    default:
      for (std::uint32_t i = 0; i < bits / 8; ++i) sink->u8(static_cast<std::uint8_t>(index));
  }
}

void write_section(ByteSink* sink, const G1mSection& section) {
  if (section.raw) {
    sink->raw(*section.raw);
    return;
  }
  const std::size_t start = sink->size();
  sink->u32(section.type);
  sink->u32(0);  // size, patched below
  switch (section.type) {
    case g1m::kSectionVertexBuffers:
      sink->u32(section.declared_count.value_or(
          static_cast<std::uint32_t>(section.vertex_buffers.size())));
      for (const G1mVertexBuffer& buffer : section.vertex_buffers) {
        sink->u32(buffer.word0);
        sink->u32(buffer.stride);
        sink->u32(buffer.vertex_count);
        sink->u32(buffer.word3);
        sink->raw(buffer.data);
      }
      break;
    case g1m::kSectionIndexBuffers:
      sink->u32(section.declared_count.value_or(
          static_cast<std::uint32_t>(section.index_buffers.size())));
      for (const G1mIndexBuffer& buffer : section.index_buffers) {
        sink->u32(
            buffer.declared_count.value_or(static_cast<std::uint32_t>(buffer.indices.size())));
        sink->u32(buffer.declared_bits.value_or(buffer.index_bits));
        sink->u32(buffer.word2);
        for (std::uint32_t index : buffer.indices) write_index(sink, buffer.index_bits, index);
      }
      break;
    case g1m::kSectionSubmeshes:
      sink->u32(
          section.declared_count.value_or(static_cast<std::uint32_t>(section.submeshes.size())));
      for (const G1mSubmesh& submesh : section.submeshes) {
        sink->u32(submesh.other_words[0]);
        sink->u32(submesh.buffer);
        for (std::size_t i = 1; i <= 8; ++i) sink->u32(submesh.other_words[i]);
        sink->u32(submesh.first_vertex);
        sink->u32(submesh.vertex_count);
        sink->u32(submesh.first_index);
        sink->u32(submesh.index_count);
      }
      break;
    default:
      sink->raw(section.body);
  }
  sink->patch_u32(start + g1m::kSectionSizeOffset,
                  section.declared_size.value_or(static_cast<std::uint32_t>(sink->size() - start)));
}

void write_chunk(ByteSink* sink, const G1mChunk& chunk) {
  if (chunk.raw) {
    sink->raw(*chunk.raw);
    return;
  }
  const std::size_t start = sink->size();
  sink->u32(chunk.id);
  sink->u32(chunk.version);
  sink->u32(0);  // size, patched below
  if (chunk.id == g1m::kChunkG1mg) {
    sink->raw(kPlatformTag, sizeof kPlatformTag);
    sink->u32(0);
    for (float bound : chunk.bounds) sink->f32(bound);
    sink->u32(
        chunk.declared_section_count.value_or(static_cast<std::uint32_t>(chunk.sections.size())));
    for (const G1mSection& section : chunk.sections) write_section(sink, section);
  } else {
    sink->raw(chunk.body);
  }
  sink->patch_u32(start + g1m::kChunkSizeOffset,
                  chunk.declared_size.value_or(static_cast<std::uint32_t>(sink->size() - start)));
}

}  // namespace

Bytes write_g1m(const G1mModel& model) {
  ByteSink sink(model.big_endian);
  // Written as a number, the magic reads "_M1G" little-endian and "G1M_" big-endian.
  sink.u32(g1m::kMagicValue);
  sink.u32(model.version);
  sink.u32(0);  // file size, patched below
  sink.u32(kHeaderSizeField);
  sink.u32(0);
  sink.u32(model.declared_chunk_count.value_or(static_cast<std::uint32_t>(model.chunks.size())));
  for (const G1mChunk& chunk : model.chunks) write_chunk(&sink, chunk);
  sink.patch_u32(8, static_cast<std::uint32_t>(sink.size()));
  return sink.take();
}

Bytes write_g1m_chunk(const G1mChunk& chunk, bool big_endian) {
  ByteSink sink(big_endian);
  write_chunk(&sink, chunk);
  return sink.take();
}

G1mChunk plain_chunk(std::uint32_t id, std::uint32_t version, Bytes body) {
  G1mChunk chunk;
  chunk.id = id;
  chunk.version = version;
  chunk.body = std::move(body);
  return chunk;
}

G1mChunk geometry_chunk(std::uint32_t version, std::vector<G1mSection> sections) {
  G1mChunk chunk;
  chunk.id = g1m::kChunkG1mg;
  chunk.version = version;
  chunk.sections = std::move(sections);
  return chunk;
}

G1mSection plain_section(std::uint32_t type, Bytes body) {
  G1mSection section;
  section.type = type;
  section.body = std::move(body);
  return section;
}

G1mSection vertex_section(std::vector<G1mVertexBuffer> buffers) {
  G1mSection section;
  section.type = g1m::kSectionVertexBuffers;
  section.vertex_buffers = std::move(buffers);
  return section;
}

G1mSection index_section(std::vector<G1mIndexBuffer> buffers) {
  G1mSection section;
  section.type = g1m::kSectionIndexBuffers;
  section.index_buffers = std::move(buffers);
  return section;
}

G1mSection submesh_section(std::vector<G1mSubmesh> submeshes) {
  G1mSection section;
  section.type = g1m::kSectionSubmeshes;
  section.submeshes = std::move(submeshes);
  return section;
}

}  // namespace korvel::forge
