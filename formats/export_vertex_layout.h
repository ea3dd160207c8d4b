// Where a vertex of each stride keeps what a model file needs: its position,
// normal and texture coordinates, taken from the declaration the viewer gives
// that stride, so that an export reads vertices exactly as the view draws them.
#pragma once

#include <cstdint>

namespace korvel {

// One float attribute of a vertex: its byte offset and how many floats it
// has. components 0 means the layout has no such attribute.
struct FloatAttribute {
  std::uint32_t offset = 0;
  std::uint32_t components = 0;

  bool present() const { return components > 0; }
  std::uint32_t end() const { return offset + 4 * components; }
};

struct ExportVertexLayout {
  FloatAttribute position;  // FLOAT3, or FLOAT4 whose fourth float is dropped
  FloatAttribute normal;    // FLOAT3, or FLOAT4 whose fourth float is dropped
  FloatAttribute texcoord;  // FLOAT2 of usage index 0, the one the texture is drawn with
};

ExportVertexLayout export_vertex_layout(std::uint32_t stride);

}  // namespace korvel
