// A model as binary glTF 2.0, for modders who look at it in other programs:
// one mesh, one primitive per sub-mesh, positions, normals and texture
// coordinates as the viewer's vertex layouts place them, triangle strips as
// triangle lists, and the model's texture embedded as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/model_view.h"

namespace korvel {

// Largest file an export writes; far above any game model, it keeps a
// damaged model's counts from asking for gigabytes.
constexpr std::uint64_t kMaxGlbBytes = std::uint64_t{1} << 30;

struct GltfExportSummary {
  std::uint32_t primitives = 0;
  std::uint64_t triangles = 0;
  // Strip triangles left out: degenerate ones, or ones naming a vertex
  // outside their buffer.
  std::uint64_t dropped_triangles = 0;
  bool textured = false;  // the texture is embedded
  // What was left out or changed, one line each, for the user.
  std::vector<std::string> notes;
};

// The model the view describes (big_endian: the archive's byte order),
// with texture_png on every sub-mesh that has texture coordinates (none when
// empty). False, with the reason, when nothing could be exported.
bool export_model_glb(const ModelView& view, bool big_endian,
                      const std::vector<std::uint8_t>& texture_png, std::vector<std::uint8_t>* glb,
                      GltfExportSummary* summary, std::string* error);

// Loads model_key (and texture_key, unless empty) from the archive at
// index_path and writes the model to out_path. A texture that cannot be
// loaded leaves the model untextured, with a note.
bool export_model_file(const std::string& index_path, const std::string& model_key,
                       const std::string& texture_key, const std::string& out_path,
                       GltfExportSummary* summary, std::string* error);

}  // namespace korvel
