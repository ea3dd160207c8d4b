#include "formats/gltf_export.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "archive/archive.h"
#include "archive/byte_order.h"
#include "archive/file_io.h"
#include "archive/format_text.h"
#include "formats/export_vertex_layout.h"
#include "formats/g1m_format.h"
#include "formats/png_replacement.h"
#include "platform/d3d9/png_encode.h"

namespace korvel {
namespace {

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
// Normals shorter than this cannot be made unit length.
constexpr float kMinNormalLength = 1e-6f;

using W = ModelView;

// The binary chunk and the views into it, each starting 4-byte aligned.
class BinaryChunk {
 public:
  explicit BinaryChunk(tinygltf::Model& model) : model_(model) {}

  // A new buffer view of the bytes; -1 when it would pass kMaxGlbBytes.
  int add_view(const void* bytes, std::size_t length, int target) {
    const std::size_t start = (data_.size() + 3) & ~std::size_t{3};
    if (start + length > kMaxGlbBytes) return -1;
    data_.resize(start + length, 0);
    std::memcpy(data_.data() + start, bytes, length);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = start;
    view.byteLength = length;
    view.target = target;
    model_.bufferViews.push_back(view);
    return static_cast<int>(model_.bufferViews.size() - 1);
  }

  std::vector<unsigned char>& data() { return data_; }

 private:
  tinygltf::Model& model_;
  std::vector<unsigned char> data_;
};

int add_accessor(tinygltf::Model& model, int view, int component_type, int type,
                 std::size_t count) {
  tinygltf::Accessor accessor;
  accessor.bufferView = view;
  accessor.componentType = component_type;
  accessor.type = type;
  accessor.count = count;
  model.accessors.push_back(accessor);
  return static_cast<int>(model.accessors.size() - 1);
}

float read_float(const std::uint8_t* at, bool big_endian) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, at, 4);
  bits = cond_swap32(bits, big_endian ? 1 : 0);
  float value = 0;
  std::memcpy(&value, &bits, 4);
  return value;
}

bool plausible(float value) {
  const float magnitude = std::fabs(value);
  return value == 0.0f || (magnitude >= 1e-6f && magnitude <= 1e6f);
}

// Vertex data reach the viewer as stored, and it reads them little-endian; a
// big-endian archive's buffer is read in its own order only when that makes
// sense of positions that read as stored make none of (swapped floats turn
// into tiny or huge values).
bool reads_big_endian(const std::uint8_t* data, std::uint32_t stride, std::uint32_t count,
                      std::uint32_t position_offset) {
  std::uint64_t as_stored = 0, swapped = 0;
  for (std::uint32_t v = 0; v < count; ++v) {
    const std::uint8_t* at = data + std::size_t{v} * stride + position_offset;
    bool stored_ok = true, swapped_ok = true;
    for (int axis = 0; axis < 3; ++axis) {
      stored_ok = stored_ok && plausible(read_float(at + 4 * axis, false));
      swapped_ok = swapped_ok && plausible(read_float(at + 4 * axis, true));
    }
    as_stored += stored_ok ? 1 : 0;
    swapped += swapped_ok ? 1 : 0;
  }
  return swapped > as_stored;
}

// One vertex buffer's attributes as accessors, made when a sub-mesh first
// uses the buffer.
struct VertexAccessors {
  bool made = false;
  bool usable = false;
  std::uint32_t vertex_count = 0;
  int position = -1;
  int normal = -1;
  int texcoord = -1;
};

class Exporter {
 public:
  Exporter(const ModelView& view, bool big_endian, GltfExportSummary* summary)
      : view_(view), big_endian_(big_endian), summary_(*summary), chunk_(model_) {}

  bool run(const std::vector<std::uint8_t>& texture_png, std::vector<std::uint8_t>* glb,
           std::string* error);

 private:
  void note(std::string text) { summary_.notes.push_back(std::move(text)); }
  VertexAccessors& vertices_of(std::uint32_t buffer);
  void make_vertices(std::uint32_t buffer, VertexAccessors* made);
  void add_submesh(std::uint32_t submesh);
  int material_for(bool textured);

  const ModelView& view_;
  bool big_endian_;
  GltfExportSummary& summary_;
  tinygltf::Model model_;
  BinaryChunk chunk_;
  std::vector<VertexAccessors> vertices_;
  int texture_ = -1;
  int plain_material_ = -1;
  int textured_material_ = -1;
  bool too_large_ = false;
};

VertexAccessors& Exporter::vertices_of(std::uint32_t buffer) {
  VertexAccessors& entry = vertices_[buffer];
  if (!entry.made) {
    entry.made = true;
    make_vertices(buffer, &entry);
  }
  return entry;
}

void Exporter::make_vertices(std::uint32_t buffer, VertexAccessors* made) {
  const std::uint8_t* header = view_.vb_headers[buffer];
  const std::uint8_t* data = view_.vb_data[buffer];
  const std::uint32_t stride = W::word(header, g1m::kVertexBufferStrideWord);
  const std::uint32_t count = W::word(header, g1m::kVertexBufferCountWord);
  const ExportVertexLayout layout = export_vertex_layout(stride);
  if (data == nullptr || count == 0 || layout.position.end() > stride) {
    note(format_text("vertex buffer %u (stride %u, %u vertices) holds no positions", buffer, stride,
                     count));
    return;
  }
  const bool big_endian =
      big_endian_ && reads_big_endian(data, stride, count, layout.position.offset);
  if (big_endian) note(format_text("vertex buffer %u: floats read big-endian", buffer));
  // glTF is right-handed, the viewer left-handed: mirroring z shows the same
  // model, and turns the viewer's clockwise front faces counter-clockwise.
  std::vector<float> positions(std::size_t{count} * 3);
  std::vector<double> low(3, HUGE_VAL), high(3, -HUGE_VAL);
  for (std::uint32_t v = 0; v < count; ++v) {
    const std::uint8_t* at = data + std::size_t{v} * stride + layout.position.offset;
    for (int axis = 0; axis < 3; ++axis) {
      float value = read_float(at + 4 * axis, big_endian);
      if (axis == 2) value = -value;
      if (!std::isfinite(value)) {
        note(
            format_text("vertex buffer %u: vertex %u has a position that is no number", buffer, v));
        return;
      }
      positions[std::size_t{v} * 3 + axis] = value;
      low[axis] = std::fmin(low[axis], value);
      high[axis] = std::fmax(high[axis], value);
    }
  }
  const int position_view =
      chunk_.add_view(positions.data(), positions.size() * sizeof(float), kArrayBuffer);
  if (position_view < 0) {
    too_large_ = true;
    return;
  }
  made->position =
      add_accessor(model_, position_view, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, count);
  model_.accessors.back().minValues = low;
  model_.accessors.back().maxValues = high;
  made->vertex_count = count;
  made->usable = true;

  if (layout.normal.present() && layout.normal.end() <= stride) {
    std::vector<float> normals(std::size_t{count} * 3);
    bool unit = true;
    for (std::uint32_t v = 0; v < count && unit; ++v) {
      const std::uint8_t* at = data + std::size_t{v} * stride + layout.normal.offset;
      const float x = read_float(at, big_endian), y = read_float(at + 4, big_endian),
                  z = -read_float(at + 8, big_endian);
      const float length = std::sqrt(x * x + y * y + z * z);
      unit = std::isfinite(length) && length > kMinNormalLength;
      if (unit) {
        normals[std::size_t{v} * 3] = x / length;
        normals[std::size_t{v} * 3 + 1] = y / length;
        normals[std::size_t{v} * 3 + 2] = z / length;
      }
    }
    if (!unit) {
      note(format_text("vertex buffer %u: a normal of length 0, normals left out", buffer));
    } else {
      const int normal_view =
          chunk_.add_view(normals.data(), normals.size() * sizeof(float), kArrayBuffer);
      if (normal_view < 0) too_large_ = true;
      if (normal_view >= 0)
        made->normal = add_accessor(model_, normal_view, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                    TINYGLTF_TYPE_VEC3, count);
    }
  }
  if (layout.texcoord.present() && layout.texcoord.end() <= stride) {
    std::vector<float> texcoords(std::size_t{count} * 2);
    bool finite = true;
    for (std::uint32_t v = 0; v < count && finite; ++v) {
      const std::uint8_t* at = data + std::size_t{v} * stride + layout.texcoord.offset;
      texcoords[std::size_t{v} * 2] = read_float(at, big_endian);
      texcoords[std::size_t{v} * 2 + 1] = read_float(at + 4, big_endian);
      finite = std::isfinite(texcoords[std::size_t{v} * 2]) &&
               std::isfinite(texcoords[std::size_t{v} * 2 + 1]);
    }
    if (!finite) {
      note(format_text("vertex buffer %u: texture coordinates that are no numbers, left out",
                       buffer));
    } else {
      const int texcoord_view =
          chunk_.add_view(texcoords.data(), texcoords.size() * sizeof(float), kArrayBuffer);
      if (texcoord_view < 0) too_large_ = true;
      if (texcoord_view >= 0)
        made->texcoord = add_accessor(model_, texcoord_view, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                      TINYGLTF_TYPE_VEC2, count);
    }
  }
}

int Exporter::material_for(bool textured) {
  int& index = textured ? textured_material_ : plain_material_;
  if (index < 0) {
    tinygltf::Material material;
    material.name = textured ? "textured" : "plain";
    // The viewer draws without culling.
    material.doubleSided = true;
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    if (textured) material.pbrMetallicRoughness.baseColorTexture.index = texture_;
    model_.materials.push_back(material);
    index = static_cast<int>(model_.materials.size() - 1);
  }
  return index;
}

void Exporter::add_submesh(std::uint32_t submesh) {
  const std::uint8_t* record = view_.sm_records[submesh];
  const std::uint32_t buffer = W::word(record, g1m::kSubmeshBufferWord);
  const std::uint32_t first = W::word(record, g1m::kSubmeshFirstIndexWord);
  const std::uint32_t count = W::word(record, g1m::kSubmeshIndexCountWord);
  if (buffer >= view_.vertex_buffer_count() || buffer >= view_.index_buffer_count()) {
    note(format_text("sub-mesh %u names buffer %u, which the model lacks", submesh, buffer));
    return;
  }
  const std::uint8_t* index_header = view_.ib_headers[buffer];
  const std::uint8_t* index_data = view_.ib_data[buffer];
  const std::uint32_t bits = W::word(index_header, g1m::kIndexBufferBitsWord);
  const std::uint32_t held = W::word(index_header, g1m::kIndexBufferCountWord);
  if ((bits != 16 && bits != 32) || index_data == nullptr || std::uint64_t{first} + count > held) {
    note(format_text("sub-mesh %u: its indices lie outside index buffer %u", submesh, buffer));
    return;
  }
  const VertexAccessors& vertices = vertices_of(buffer);
  if (!vertices.usable) {
    note(format_text("sub-mesh %u: vertex buffer %u cannot be exported", submesh, buffer));
    return;
  }
  auto index_at = [&](std::uint32_t i) -> std::uint32_t {
    if (bits == 16) {
      std::uint16_t value = 0;
      std::memcpy(&value, index_data + 2 * std::size_t{i}, 2);
      return value;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, index_data + 4 * std::size_t{i}, 4);
    return value;
  };
  // Strip triangle k is (k, k+1, k+2), every second one with its first two
  // corners exchanged so that all keep the strip's winding.
  std::vector<std::uint32_t> triangles;
  std::uint32_t largest = 0;
  for (std::uint32_t k = 0; k + 2 < count; ++k) {
    std::uint32_t a = index_at(first + k), b = index_at(first + k + 1);
    const std::uint32_t c = index_at(first + k + 2);
    if (k % 2 == 1) std::swap(a, b);
    if (a == b || b == c || a == c || a >= vertices.vertex_count || b >= vertices.vertex_count ||
        c >= vertices.vertex_count) {
      ++summary_.dropped_triangles;
      continue;
    }
    triangles.insert(triangles.end(), {a, b, c});
    largest = std::max({largest, a, b, c});
  }
  if (triangles.empty()) {
    note(format_text("sub-mesh %u has no triangles", submesh));
    return;
  }
  int index_view = -1;
  int component = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
  // 0xFFFF restarts strips in some renderers, so it is never a 16-bit index.
  if (largest < 0xFFFF) {
    const std::vector<std::uint16_t> narrow(triangles.begin(), triangles.end());
    component = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
    index_view = chunk_.add_view(narrow.data(), narrow.size() * 2, kElementArrayBuffer);
  } else {
    index_view = chunk_.add_view(triangles.data(), triangles.size() * 4, kElementArrayBuffer);
  }
  if (index_view < 0) {
    too_large_ = true;
    return;
  }
  tinygltf::Primitive primitive;
  primitive.mode = TINYGLTF_MODE_TRIANGLES;
  primitive.indices =
      add_accessor(model_, index_view, component, TINYGLTF_TYPE_SCALAR, triangles.size());
  primitive.attributes["POSITION"] = vertices.position;
  if (vertices.normal >= 0) primitive.attributes["NORMAL"] = vertices.normal;
  if (vertices.texcoord >= 0) primitive.attributes["TEXCOORD_0"] = vertices.texcoord;
  primitive.material = material_for(vertices.texcoord >= 0 && texture_ >= 0);
  // Named by its number as the window's sub-model switches are.
  primitive.extras = tinygltf::Value(
      tinygltf::Value::Object{{"name", tinygltf::Value(format_text("%02u", submesh))}});
  model_.meshes[0].primitives.push_back(primitive);
  ++summary_.primitives;
  summary_.triangles += triangles.size() / 3;
}

bool Exporter::run(const std::vector<std::uint8_t>& texture_png, std::vector<std::uint8_t>* glb,
                   std::string* error) {
  model_.asset.version = "2.0";
  model_.asset.generator = "korvel";
  model_.meshes.emplace_back();
  model_.meshes[0].name = "model";
  if (!texture_png.empty()) {
    const int image_view = chunk_.add_view(texture_png.data(), texture_png.size(), 0);
    if (image_view >= 0) {
      tinygltf::Image image;
      image.bufferView = image_view;
      image.mimeType = "image/png";
      model_.images.push_back(image);
      // The viewer samples with wrap addressing, as glTF's default does.
      model_.samplers.emplace_back();
      tinygltf::Texture texture;
      texture.source = 0;
      texture.sampler = 0;
      model_.textures.push_back(texture);
      texture_ = 0;
      summary_.textured = true;
    }
  }
  vertices_.resize(view_.vertex_buffer_count());
  for (std::uint32_t submesh = 0; submesh < view_.submesh_count() && !too_large_; ++submesh) {
    add_submesh(submesh);
  }
  if (too_large_) {
    *error = format_text("the model would make a file larger than %llu bytes",
                         static_cast<unsigned long long>(kMaxGlbBytes));
    return false;
  }
  if (summary_.primitives == 0) {
    *error = "no sub-mesh of the model has triangles to export";
    return false;
  }
  tinygltf::Buffer buffer;
  buffer.data = std::move(chunk_.data());
  model_.buffers.push_back(std::move(buffer));
  tinygltf::Node node;
  node.mesh = 0;
  node.name = "model";
  model_.nodes.push_back(node);
  tinygltf::Scene scene;
  scene.nodes.push_back(0);
  model_.scenes.push_back(scene);
  model_.defaultScene = 0;

  std::ostringstream stream(std::ios::binary);
  tinygltf::TinyGLTF writer;
  if (!writer.WriteGltfSceneToStream(&model_, stream, false, true) || !stream) {
    *error = "the glTF writer failed";
    return false;
  }
  const std::string bytes = stream.str();
  glb->assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace

bool export_model_glb(const ModelView& view, bool big_endian,
                      const std::vector<std::uint8_t>& texture_png, std::vector<std::uint8_t>* glb,
                      GltfExportSummary* summary, std::string* error) {
  glb->clear();
  *summary = GltfExportSummary{};
  Exporter exporter(view, big_endian, summary);
  return exporter.run(texture_png, glb, error);
}

bool export_model_file(const std::string& index_path, const std::string& model_key,
                       const std::string& texture_key, const std::string& out_path,
                       GltfExportSummary* summary, std::string* error) {
  *summary = GltfExportSummary{};
  std::vector<std::uint8_t> png;
  if (!texture_key.empty()) {
    std::vector<std::uint8_t> dds;
    std::string texture_error;
    d3d9::ImageResult converted{};
    if (load_stored_texture(index_path, texture_key, &dds, &texture_error)) {
      converted =
          d3d9::dds_first_level_to_png(dds.data(), dds.size(), &png, d3d9::PngPacking::kCompact);
      if (!converted.ok()) texture_error = converted.message;
    }
    if (!texture_error.empty()) png.clear();
    if (!texture_error.empty()) summary->notes.push_back("texture left out: " + texture_error);
  } else {
    summary->notes.push_back("no texture follows the model; it is exported untextured");
  }

  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *error = "cannot open " + index_path + ": " + archive.error;
    archive.release();
    return false;
  }
  if (archive.load_entry(model_key.c_str()) != 1 || archive.model_view.sm_section == nullptr) {
    *error = model_key + " names no model with sub-meshes";
    if (!archive.error.empty()) *error += " (" + archive.error + ")";
    archive.release();
    return false;
  }
  const std::vector<std::string> texture_notes = summary->notes;
  std::vector<std::uint8_t> glb;
  const bool exported =
      export_model_glb(archive.model_view, archive.big_endian == 1, png, &glb, summary, error);
  archive.release();
  summary->notes.insert(summary->notes.begin(), texture_notes.begin(), texture_notes.end());
  if (!exported) return false;
  make_dirs_for_path(out_path.c_str());
  const std::int32_t written =
      write_file_part(out_path.c_str(), glb.data(), 0, glb.size(), kCreateAlways);
  if (written < 0 || static_cast<std::size_t>(written) != glb.size()) {
    *error = "cannot write " + out_path;
    return false;
  }
  return true;
}

}  // namespace korvel
