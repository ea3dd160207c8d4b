// The vertex declaration the viewer gives a vertex buffer, chosen by its
// stride (bytes per vertex).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9_types.h"

namespace korvel {

// The elements for stride, ended by D3DDECL_END. A stride without a layout of
// its own gets a FLOAT3 position only.
std::vector<d3d9::D3DVERTEXELEMENT9> vertex_layout_for_stride(std::uint32_t stride);

}  // namespace korvel
