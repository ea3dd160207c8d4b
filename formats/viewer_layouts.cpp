#include "formats/viewer_layouts.h"

namespace korvel {

using namespace d3d9;

namespace {

constexpr D3DVERTEXELEMENT9 element(WORD offset, BYTE type, BYTE usage, BYTE usage_index = 0) {
  return {0, offset, type, D3DDECLMETHOD_DEFAULT, usage, usage_index};
}

std::vector<D3DVERTEXELEMENT9> layout(std::vector<D3DVERTEXELEMENT9> elements) {
  elements.push_back(D3DDECL_END);
  return elements;
}

}  // namespace

std::vector<D3DVERTEXELEMENT9> vertex_layout_for_stride(std::uint32_t stride) {
  switch (stride) {
    case 36:
    case 52:  // bytes 36-51 are not read
      return layout({element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                     element(12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                     element(28, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD)});
    case 48:
      return layout({element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                     element(12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_BLENDWEIGHT),
                     element(24, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES),
                     element(28, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                     element(40, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD)});
    case 56:
      return layout({element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                     element(12, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_BLENDWEIGHT),
                     element(16, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES),
                     element(20, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                     element(32, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
                     element(40, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TANGENT)});
    case 60:
      return layout({element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                     element(12, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_BLENDWEIGHT),
                     element(20, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES),
                     element(24, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                     element(36, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
                     element(44, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TANGENT)});
    case 64:
      return layout({element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
                     element(12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_BLENDWEIGHT),
                     element(24, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES),
                     element(28, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
                     element(40, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
                     element(48, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TANGENT)});
    case 80:
    case 84: {
      // The two differ only in where texture coordinates and tangent sit.
      const WORD texcoord = stride == 80 ? 56 : 60;
      return layout(
          {element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION),
           element(12, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_BLENDWEIGHT),
           element(24, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES),
           element(28, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL),
           element(texcoord, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD),
           element(static_cast<WORD>(texcoord + 8), D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TANGENT)});
    }
    case 120:
      return layout({element(0, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION),
                     element(16, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BLENDWEIGHT),
                     element(32, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_BINORMAL),
                     element(64, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_BLENDINDICES),
                     element(68, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_PSIZE),
                     element(72, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_FOG),
                     element(76, D3DDECLTYPE_UBYTE4, D3DDECLUSAGE_TEXCOORD, 5),
                     element(80, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_NORMAL),
                     element(96, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TANGENT),
                     element(112, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD)});
    default:
      return layout({element(0, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION)});
  }
}

}  // namespace korvel
