#include "formats/export_vertex_layout.h"

#include "formats/viewer_layouts.h"

namespace korvel {
namespace {

// Floats in a declaration type; 0 for types that are not floats.
std::uint32_t float_count(std::uint8_t type) {
  switch (type) {
    case d3d9::D3DDECLTYPE_FLOAT1:
      return 1;
    case d3d9::D3DDECLTYPE_FLOAT2:
      return 2;
    case d3d9::D3DDECLTYPE_FLOAT3:
      return 3;
    case d3d9::D3DDECLTYPE_FLOAT4:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

ExportVertexLayout export_vertex_layout(std::uint32_t stride) {
  ExportVertexLayout layout;
  for (const d3d9::D3DVERTEXELEMENT9& element : vertex_layout_for_stride(stride)) {
    const std::uint32_t floats = float_count(element.Type);
    if (element.Stream != 0 || element.UsageIndex != 0) continue;
    const FloatAttribute attribute{element.Offset, floats};
    if (element.Usage == d3d9::D3DDECLUSAGE_POSITION && floats >= 3) {
      layout.position = {attribute.offset, 3};
    } else if (element.Usage == d3d9::D3DDECLUSAGE_NORMAL && floats >= 3) {
      layout.normal = {attribute.offset, 3};
    } else if (element.Usage == d3d9::D3DDECLUSAGE_TEXCOORD && floats == 2) {
      layout.texcoord = attribute;
    }
  }
  return layout;
}

}  // namespace korvel
