#include "tools/forge/sample_models.h"

#include <algorithm>
#include <limits>

namespace korvel::forge {
namespace {

// Plausible contents for the chunks and sections we skip: a count and that
// many numbered words, in the archive's order.
Bytes filler(bool big_endian, std::uint32_t count, std::uint32_t seed) {
  ByteSink sink(big_endian);
  sink.u32(count);
  for (std::uint32_t i = 0; i < count; ++i) sink.u32(seed * 0x100 + i);
  return sink.take();
}

std::array<float, 6> bounds_of(const std::vector<PartGroup>& groups) {
  std::array<float, 6> bounds = {
      std::numeric_limits<float>::max(),    std::numeric_limits<float>::max(),
      std::numeric_limits<float>::max(),    std::numeric_limits<float>::lowest(),
      std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest()};
  for (const PartGroup& group : groups) {
    for (const MeshPart& part : group.parts) {
      for (const MeshVertex& vertex : part.vertices) {
        const float p[3] = {vertex.position.x, vertex.position.y, vertex.position.z};
        for (int axis = 0; axis < 3; ++axis) {
          bounds[axis] = std::min(bounds[axis], p[axis]);
          bounds[3 + axis] = std::max(bounds[3 + axis], p[axis]);
        }
      }
    }
  }
  return bounds;
}

constexpr std::uint32_t kChunkVersion = 0x30303230;

}  // namespace

G1mModel assemble_model(const std::vector<PartGroup>& groups, bool big_endian,
                        std::uint32_t geometry_version) {
  std::vector<G1mVertexBuffer> vertex_buffers;
  std::vector<G1mIndexBuffer> index_buffers;
  std::vector<G1mSubmesh> submeshes;
  for (std::size_t b = 0; b < groups.size(); ++b) {
    const PartGroup& group = groups[b];
    std::vector<MeshVertex> vertices;
    G1mIndexBuffer indices;
    indices.index_bits = group.index_bits;
    for (const MeshPart& part : group.parts) {
      G1mSubmesh submesh;
      submesh.buffer = static_cast<std::uint32_t>(b);
      submesh.first_vertex = static_cast<std::uint32_t>(vertices.size());
      submesh.vertex_count = static_cast<std::uint32_t>(part.vertices.size());
      submesh.first_index = static_cast<std::uint32_t>(indices.indices.size());
      submesh.index_count = static_cast<std::uint32_t>(part.strip.size());
      // Words we do not read, numbered so that a conversion slip shows.
      for (std::size_t w = 0; w < submesh.other_words.size(); ++w) {
        submesh.other_words[w] = static_cast<std::uint32_t>(submeshes.size() * 16 + w);
      }
      for (std::uint32_t index : part.strip)
        indices.indices.push_back(submesh.first_vertex + index);
      vertices.insert(vertices.end(), part.vertices.begin(), part.vertices.end());
      submeshes.push_back(submesh);
    }
    G1mVertexBuffer buffer;
    buffer.stride = group.stride;
    buffer.vertex_count = static_cast<std::uint32_t>(vertices.size());
    buffer.data = encode_vertices(vertices, group.stride);
    buffer.word3 = static_cast<std::uint32_t>(b);
    vertex_buffers.push_back(std::move(buffer));
    indices.word2 = static_cast<std::uint32_t>(b);
    index_buffers.push_back(std::move(indices));
  }

  G1mChunk geometry = geometry_chunk(
      geometry_version,
      {plain_section(0x00010001, filler(big_endian, 2, 1)),
       plain_section(0x00010002, filler(big_endian, 4, 2)),
       plain_section(0x00010003, filler(big_endian, 3, 3)),
       vertex_section(std::move(vertex_buffers)),
       plain_section(0x00010005, filler(big_endian, static_cast<std::uint32_t>(groups.size()), 5)),
       plain_section(0x00010006, filler(big_endian, 1, 6)), index_section(std::move(index_buffers)),
       submesh_section(std::move(submeshes)), plain_section(0x00010009, filler(big_endian, 2, 9))});
  geometry.bounds = bounds_of(groups);

  G1mModel model;
  model.big_endian = big_endian;
  model.chunks = {plain_chunk(g1m::kChunkG1mf, kChunkVersion, filler(big_endian, 12, 0x46)),
                  plain_chunk(g1m::kChunkG1ms, kChunkVersion, filler(big_endian, 8, 0x53)),
                  plain_chunk(g1m::kChunkG1mm, kChunkVersion, filler(big_endian, 16, 0x4D)),
                  std::move(geometry),
                  plain_chunk(g1m::kChunkColl, kChunkVersion, filler(big_endian, 1, 0x43)),
                  plain_chunk(g1m::kChunkNuno, kChunkVersion, filler(big_endian, 0, 0x4F)),
                  plain_chunk(g1m::kChunkNunv, kChunkVersion, filler(big_endian, 0, 0x56)),
                  plain_chunk(g1m::kChunkExtr, kChunkVersion, filler(big_endian, 2, 0x45))};
  return model;
}

G1mModel robot_model(bool big_endian) {
  const float side[] = {-1.0f, 1.0f};
  std::vector<PartGroup> groups(10);
  // Stand on y = 0, about 230 high: the viewer's camera frames that.
  groups[0] = {36, 16, {box_part({0, 125, 0}, {64, 60, 32})}};                // torso
  groups[1] = {48, 32, {sphere_part({0, 185, 0}, 20, 12, 16)}};               // head
  groups[2] = {52, 16, {cylinder_part({0, 155, 0}, 7, 12, Axis::kY, 12)}};    // neck
  groups[3] = {56, 32, {}};                                                   // arms
  groups[4] = {60, 16, {}};                                                   // hands
  groups[5] = {64, 32, {}};                                                   // legs
  groups[6] = {80, 16, {}};                                                   // feet
  groups[7] = {84, 32, {box_part({0, 88, 0}, {56, 16, 26})}};                 // hips
  groups[8] = {120, 16, {}};                                                  // eyes
  groups[9] = {40, 32, {cylinder_part({0, 205, 0}, 1.5f, 18, Axis::kY, 8)}};  // antenna
  groups[9].parts.push_back(sphere_part({0, 226, 0}, 4, 6, 8));
  for (float s : side) {
    groups[3].parts.push_back(cylinder_part({40 * s, 90, 0}, 6, 60, Axis::kY, 16));
    groups[4].parts.push_back(sphere_part({40 * s, 84, 0}, 9, 8, 10));
    groups[5].parts.push_back(cylinder_part({18 * s, 10, 0}, 8, 70, Axis::kY, 16));
    groups[6].parts.push_back(box_part({18 * s, 5, -4}, {18, 10, 30}));
    groups[8].parts.push_back(sphere_part({8 * s, 189, -17}, 4, 6, 8));
  }
  return assemble_model(groups, big_endian, g1m::kGeometryVersion44);
}

G1mModel rover_model(bool big_endian) {
  std::vector<PartGroup> groups(4);
  groups[0] = {36, 16, {box_part({0, 80, 0}, {80, 24, 120})}};  // chassis
  groups[1] = {64, 32, {}};                                     // wheels
  for (float z : {-38.0f, 38.0f}) {
    groups[1].parts.push_back(cylinder_part({-54, 62, z}, 20, 14, Axis::kX, 20));
    groups[1].parts.push_back(cylinder_part({40, 62, z}, 20, 14, Axis::kX, 20));
  }
  groups[2] = {48, 16, {sphere_part({0, 100, 10}, 22, 10, 16)}};               // dome
  groups[3] = {120, 32, {cylinder_part({0, 104, -70}, 4, 60, Axis::kZ, 12)}};  // mast
  return assemble_model(groups, big_endian, g1m::kGeometryVersion43);
}

}  // namespace korvel::forge
