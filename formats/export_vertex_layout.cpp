#include "formats/export_vertex_layout.h"

namespace korvel {
namespace {

constexpr ExportVertexLayout layout(std::uint32_t normal, std::uint32_t texcoord) {
  return {{0, 3}, {normal, 3}, {texcoord, 2}};
}

}  // namespace

ExportVertexLayout export_vertex_layout(std::uint32_t stride) {
  switch (stride) {
    case 36:
    case 52:
      return layout(12, 28);
    case 48:
      return layout(28, 40);
    case 56:
      return layout(20, 32);
    case 60:
      return layout(24, 36);
    case 64:
      return layout(28, 40);
    case 80:
      return layout(28, 56);
    case 84:
      return layout(28, 60);
    case 120:
      // The UBYTE4 texture coordinates of usage index 5 at 76 are not the
      // ones the texture is drawn with.
      return {{0, 4}, {80, 4}, {112, 2}};
    default:
      return {{0, 3}, {}, {}};
  }
}

}  // namespace korvel
