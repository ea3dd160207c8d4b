#include "tools/forge/mesh_shapes.h"

#include <cmath>

namespace korvel::forge {
namespace {

constexpr float kPi = 3.14159265358979f;

Vec3 add(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 scale(Vec3 a, float factor) {
  return {a.x * factor, a.y * factor, a.z * factor};
}

// Maps a point of a shape built along Y onto another axis.
Vec3 along(Axis axis, Vec3 p) {
  switch (axis) {
    case Axis::kX:
      return {p.y, p.x, p.z};
    case Axis::kZ:
      return {p.x, p.z, p.y};
    case Axis::kY:
      break;
  }
  return p;
}

// Strip over a (rows + 1) x (columns + 1) grid of vertices, row by row.
std::vector<std::uint32_t> grid_strip(std::uint32_t first, int rows, int columns) {
  std::vector<std::uint32_t> strip;
  const auto width = static_cast<std::uint32_t>(columns + 1);
  for (int row = 0; row < rows; ++row) {
    std::vector<std::uint32_t> band;
    for (int column = 0; column <= columns; ++column) {
      band.push_back(first + static_cast<std::uint32_t>(row) * width +
                     static_cast<std::uint32_t>(column));
      band.push_back(first + static_cast<std::uint32_t>(row + 1) * width +
                     static_cast<std::uint32_t>(column));
    }
    join_strip(&strip, band);
  }
  return strip;
}

// A convex polygon as one strip, zig-zagging from both ends of its rim.
std::vector<std::uint32_t> polygon_strip(std::uint32_t first, int corners) {
  std::vector<std::uint32_t> strip;
  int low = 0;
  int high = corners - 1;
  strip.push_back(first + static_cast<std::uint32_t>(low++));
  while (low <= high) {
    strip.push_back(first + static_cast<std::uint32_t>(low++));
    if (low > high) break;
    strip.push_back(first + static_cast<std::uint32_t>(high--));
  }
  return strip;
}

void put_vec3(ByteSink* sink, Vec3 v) {
  sink->f32(v.x);
  sink->f32(v.y);
  sink->f32(v.z);
}

// Any direction at right angles to the normal, for tangent slots.
Vec3 tangent_of(Vec3 normal) {
  if (std::fabs(normal.y) > 0.9f) return {1, 0, 0};
  const float length = std::sqrt(normal.x * normal.x + normal.z * normal.z);
  return {-normal.z / length, 0, normal.x / length};
}

// Byte offsets of what the viewer reads at each stride; -1 where absent.
struct Layout {
  std::uint32_t stride;
  int blend_weight;
  int blend_weight_count;
  int blend_indices;
  int normal;
  int texcoord;
  int tangent;
};

const Layout kLayouts[] = {
    {36, -1, 0, -1, 12, 28, -1}, {40, -1, 0, -1, 12, 28, -1}, {48, 12, 3, 24, 28, 40, -1},
    {52, -1, 0, -1, 12, 28, -1}, {56, 12, 1, 16, 20, 32, 40}, {60, 12, 2, 20, 24, 36, 44},
    {64, 12, 3, 24, 28, 40, 48}, {80, 12, 3, 24, 28, 56, 64}, {84, 12, 3, 24, 28, 60, 68},
};

void put_at(Bytes* bytes, std::size_t offset, const ByteSink& sink) {
  for (std::size_t i = 0; i < sink.size() && offset + i < bytes->size(); ++i) {
    (*bytes)[offset + i] = sink.bytes()[i];
  }
}

void encode_vertex(const MeshVertex& vertex, const Layout& layout, Bytes* out) {
  Bytes bytes(layout.stride, 0);
  ByteSink position(false);
  put_vec3(&position, vertex.position);
  put_at(&bytes, 0, position);
  if (layout.blend_weight >= 0) {
    ByteSink weights(false);
    for (int i = 0; i < layout.blend_weight_count; ++i) weights.f32(i == 0 ? 1.0f : 0.0f);
    put_at(&bytes, static_cast<std::size_t>(layout.blend_weight), weights);
  }
  ByteSink normal(false);
  put_vec3(&normal, vertex.normal);
  put_at(&bytes, static_cast<std::size_t>(layout.normal), normal);
  ByteSink texcoord(false);
  texcoord.f32(vertex.u);
  texcoord.f32(vertex.v);
  put_at(&bytes, static_cast<std::size_t>(layout.texcoord), texcoord);
  if (layout.tangent >= 0) {
    ByteSink tangent(false);
    put_vec3(&tangent, tangent_of(vertex.normal));
    tangent.f32(1.0f);
    put_at(&bytes, static_cast<std::size_t>(layout.tangent), tangent);
  }
  out->insert(out->end(), bytes.begin(), bytes.end());
}

// Stride 120 holds four-component vectors and a block of byte attributes.
void encode_vertex_120(const MeshVertex& vertex, Bytes* out) {
  ByteSink sink(false);
  put_vec3(&sink, vertex.position);
  sink.f32(1.0f);
  for (float weight : {1.0f, 0.0f, 0.0f, 0.0f}) sink.f32(weight);
  const Vec3 tangent = tangent_of(vertex.normal);
  const Vec3 binormal = {vertex.normal.y * tangent.z - vertex.normal.z * tangent.y,
                         vertex.normal.z * tangent.x - vertex.normal.x * tangent.z,
                         vertex.normal.x * tangent.y - vertex.normal.y * tangent.x};
  put_vec3(&sink, binormal);
  sink.f32(0.0f);
  sink.zeros(16);                   // bytes 48-63: not read
  sink.zeros(4);                    // blend indices
  sink.zeros(4);                    // point size
  sink.raw("\xFF\xFF\xFF\xFF", 4);  // fog
  sink.zeros(4);                    // fifth coordinate set
  put_vec3(&sink, vertex.normal);
  sink.f32(0.0f);
  put_vec3(&sink, tangent);
  sink.f32(1.0f);
  sink.f32(vertex.u);
  sink.f32(vertex.v);
  out->insert(out->end(), sink.bytes().begin(), sink.bytes().end());
}

}  // namespace

void join_strip(std::vector<std::uint32_t>* strip, const std::vector<std::uint32_t>& piece) {
  if (piece.empty()) return;
  if (!strip->empty()) {
    strip->push_back(strip->back());
    // An odd length so far would flip the winding of the next piece.
    if (strip->size() % 2 == 0) strip->push_back(strip->back());
    strip->push_back(piece.front());
  }
  strip->insert(strip->end(), piece.begin(), piece.end());
}

MeshPart box_part(Vec3 center, Vec3 size) {
  struct Face {
    Vec3 normal, across, up;
  };
  const Face faces[] = {
      {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}},
      {{-1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
  };
  const Vec3 half = scale(size, 0.5f);
  auto extent = [&](Vec3 direction) {
    return Vec3{direction.x * half.x, direction.y * half.y, direction.z * half.z};
  };
  MeshPart part;
  for (const Face& face : faces) {
    const auto first = static_cast<std::uint32_t>(part.vertices.size());
    for (int row = 0; row <= 1; ++row) {
      for (int column = 0; column <= 1; ++column) {
        const float s = static_cast<float>(column);
        const float t = static_cast<float>(row);
        Vec3 p = add(center, extent(face.normal));
        p = add(p, scale(extent(face.across), 2 * s - 1));
        p = add(p, scale(extent(face.up), 2 * t - 1));
        part.vertices.push_back({p, face.normal, s, 1 - t});
      }
    }
    join_strip(&part.strip, grid_strip(first, 1, 1));
  }
  return part;
}

MeshPart cylinder_part(Vec3 base, float radius, float length, Axis axis, int segments) {
  MeshPart part;
  for (int ring = 0; ring <= 1; ++ring) {
    for (int i = 0; i <= segments; ++i) {
      const float angle = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
      const Vec3 normal = {std::cos(angle), 0, std::sin(angle)};
      const Vec3 local = {radius * normal.x, length * static_cast<float>(ring), radius * normal.z};
      part.vertices.push_back({add(base, along(axis, local)), along(axis, normal),
                               static_cast<float>(i) / static_cast<float>(segments),
                               1.0f - static_cast<float>(ring)});
    }
  }
  join_strip(&part.strip, grid_strip(0, 1, segments));
  for (int cap = 0; cap <= 1; ++cap) {
    const auto first = static_cast<std::uint32_t>(part.vertices.size());
    const Vec3 normal = {0, cap == 0 ? -1.0f : 1.0f, 0};
    for (int i = 0; i < segments; ++i) {
      const float angle = 2 * kPi * static_cast<float>(i) / static_cast<float>(segments);
      const Vec3 local = {radius * std::cos(angle), length * static_cast<float>(cap),
                          radius * std::sin(angle)};
      part.vertices.push_back({add(base, along(axis, local)), along(axis, normal),
                               0.5f + 0.5f * std::cos(angle), 0.5f + 0.5f * std::sin(angle)});
    }
    join_strip(&part.strip, polygon_strip(first, segments));
  }
  return part;
}

MeshPart sphere_part(Vec3 center, float radius, int stacks, int slices) {
  MeshPart part;
  for (int stack = 0; stack <= stacks; ++stack) {
    const float polar = kPi * static_cast<float>(stack) / static_cast<float>(stacks);
    for (int slice = 0; slice <= slices; ++slice) {
      const float azimuth = 2 * kPi * static_cast<float>(slice) / static_cast<float>(slices);
      const Vec3 normal = {std::sin(polar) * std::cos(azimuth), std::cos(polar),
                           std::sin(polar) * std::sin(azimuth)};
      part.vertices.push_back({add(center, scale(normal, radius)), normal,
                               static_cast<float>(slice) / static_cast<float>(slices),
                               static_cast<float>(stack) / static_cast<float>(stacks)});
    }
  }
  part.strip = grid_strip(0, stacks, slices);
  return part;
}

Bytes encode_vertices(const std::vector<MeshVertex>& vertices, std::uint32_t stride) {
  Bytes out;
  out.reserve(vertices.size() * stride);
  for (const MeshVertex& vertex : vertices) {
    if (stride == 120) {
      encode_vertex_120(vertex, &out);
      continue;
    }
    const Layout* layout = &kLayouts[0];
    for (const Layout& candidate : kLayouts) {
      if (candidate.stride == stride) layout = &candidate;
    }
    Layout chosen = *layout;
    chosen.stride = stride;
    encode_vertex(vertex, chosen, &out);
  }
  return out;
}

const std::vector<std::uint32_t>& known_vertex_strides() {
  static const std::vector<std::uint32_t> strides = {36, 40, 48, 52, 56, 60, 64, 80, 84, 120};
  return strides;
}

}  // namespace korvel::forge
