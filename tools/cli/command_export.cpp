#include "archive/archive.h"
#include "archive/entry_walk.h"
#include "formats/gltf_export.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"

namespace korvel::cli {
namespace {

// The texture scan puts first after a model: the first texture of the
// model's entry, in document order. Empty when the entry has none.
std::string first_texture_of_entry(const std::string& index_path, const std::string& model_key,
                                   std::ostream& err) {
  Archive archive;
  if (!open_archive(index_path, &archive, err)) return {};
  ContentTree tree;
  std::string texture;
  const std::optional<EntryLocation> location =
      walk_to_entry(archive, tree, entry_number_of_key(model_key.c_str()));
  ByteBuffer payload;
  std::string error;
  if (location && read_entry_payload(*location, &payload, &error)) {
    EntryItems items(archive, *location, std::move(payload));
    items.list();
    const ItemNodes found = items_below(location->element);
    if (!found.textures.empty()) texture = attribute_value(found.textures[0], vocab::kOutputId);
  }
  archive.release();
  return texture;
}

}  // namespace

int run_export(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 3) {
    err << "usage: korvel-cli export ARCHIVE.idx MODEL_KEY OUT.glb\n";
    return kExitError;
  }
  const std::string texture = first_texture_of_entry(arguments[0], arguments[1], err);
  GltfExportSummary summary;
  std::string error;
  const bool exported =
      export_model_file(arguments[0], arguments[1], texture, arguments[2], &summary, &error);
  for (const std::string& note : summary.notes) err << "korvel-cli: note: " << note << '\n';
  if (!exported) {
    err << "korvel-cli: nothing exported for " << arguments[1] << ": " << error << '\n';
    return kExitError;
  }
  out << "exported primitives " << summary.primitives << " triangles " << summary.triangles
      << " dropped_triangles " << summary.dropped_triangles << " texture "
      << (summary.textured ? texture : "none") << '\n';
  return kExitOk;
}

}  // namespace korvel::cli
