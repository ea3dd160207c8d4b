// Simple solids as triangle strips, for the forge's sample models: boxes,
// cylinders and spheres with normals and texture coordinates in 0..1.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/forge/byte_sink.h"

namespace korvel::forge {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

struct MeshVertex {
  Vec3 position;
  Vec3 normal;
  float u = 0, v = 0;
};

// One solid: its vertices and one strip over them (indices from 0), whose
// pieces are joined by degenerate triangles.
struct MeshPart {
  std::vector<MeshVertex> vertices;
  std::vector<std::uint32_t> strip;
};

enum class Axis { kX, kY, kZ };

MeshPart box_part(Vec3 center, Vec3 size);
// A capped cylinder standing on `base` along the axis.
MeshPart cylinder_part(Vec3 base, float radius, float length, Axis axis, int segments);
MeshPart sphere_part(Vec3 center, float radius, int stacks, int slices);

// Appends `piece` to `strip` with degenerate triangles between them, keeping
// the triangles' winding.
void join_strip(std::vector<std::uint32_t>* strip, const std::vector<std::uint32_t>& piece);

// The vertices in the layout the viewer gives `stride`: position, normal and
// texture coordinates where it reads them, plausible blend and tangent data
// around them. Floats are little-endian whatever the archive's order, because
// vertex data reach the viewer as stored. A stride the viewer does not know
// (for example 40) gets position, normal and coordinates as at stride 36.
Bytes encode_vertices(const std::vector<MeshVertex>& vertices, std::uint32_t stride);

// The strides whose layouts encode_vertices knows.
const std::vector<std::uint32_t>& known_vertex_strides();

}  // namespace korvel::forge
