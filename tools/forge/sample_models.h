// The forge's sample models: solids grouped into vertex buffers of chosen
// strides, each solid a submesh drawn as one triangle strip.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/forge/g1m_writer.h"
#include "tools/forge/mesh_shapes.h"

namespace korvel::forge {

// One vertex buffer and its index buffer (they share the buffer index).
struct PartGroup {
  std::uint32_t stride = 36;
  std::uint32_t index_bits = 16;
  std::vector<MeshPart> parts;
};

// A model with one vertex and one index buffer per group and one submesh per
// part, surrounded by the chunks and sections a stored model carries that we
// skip.
G1mModel assemble_model(const std::vector<PartGroup>& groups, bool big_endian,
                        std::uint32_t geometry_version);

// A standing figure of ten buffers, one for each stride the viewer knows and
// one it does not (40), with 16- and 32-bit indices alternating.
G1mModel robot_model(bool big_endian);
// A four-wheeled rover: fewer, larger buffers.
G1mModel rover_model(bool big_endian);

}  // namespace korvel::forge
