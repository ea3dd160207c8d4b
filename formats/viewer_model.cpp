#include "formats/viewer_model.h"

#include <cstring>

#include "formats/g1m_format.h"
#include "formats/viewer_layouts.h"

namespace korvel {
namespace {

using d3d9::D3D_OK;
using d3d9::FAILED;

std::uint64_t vertex_bytes(const std::uint8_t* header) {
  return std::uint64_t{ModelView::word(header, g1m::kVertexBufferStrideWord)} *
         ModelView::word(header, g1m::kVertexBufferCountWord);
}

std::uint64_t index_bytes(const std::uint8_t* header) {
  return std::uint64_t{ModelView::word(header, g1m::kIndexBufferBitsWord) / 8} *
         ModelView::word(header, g1m::kIndexBufferCountWord);
}

// The counts the section headers give, held to the references recorded.
std::uint32_t recorded(std::uint32_t count, const std::vector<std::uint8_t*>& references) {
  return count < references.size() ? count : static_cast<std::uint32_t>(references.size());
}

std::uint64_t model_buffer_bytes(const ModelView& view) {
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < recorded(view.vertex_buffer_count(), view.vb_headers); ++i) {
    total += vertex_bytes(view.vb_headers[i]);
  }
  for (std::uint32_t j = 0; j < recorded(view.index_buffer_count(), view.ib_headers); ++j) {
    const std::uint32_t bits = ModelView::word(view.ib_headers[j], g1m::kIndexBufferBitsWord);
    if (bits == 16 || bits == 32)
      total += index_bytes(view.ib_headers[j]);  // the others are not made
  }
  return total;
}

template <class Buffer>
void copy_into(Buffer* buffer, const std::uint8_t* bytes, std::uint32_t length) {
  void* locked = nullptr;
  if (FAILED(buffer->Lock(0, length, &locked, 0))) return;  // the bytes stay unset
  std::memcpy(locked, bytes, length);
  buffer->Unlock();
}

template <class Object>
void release_fully(Object** object) {
  if (*object == nullptr) return;
  while ((*object)->Release() > 0) {
  }
  *object = nullptr;
}

std::uint32_t index_at(const ViewerIndexBuffer& buffer, std::uint64_t position) {
  if (buffer.index_bits == 32) {
    std::uint32_t value = 0;
    std::memcpy(&value, buffer.indices + 4 * position, 4);
    return value;
  }
  std::uint16_t value = 0;
  std::memcpy(&value, buffer.indices + 2 * position, 2);
  return value;
}

}  // namespace

void ViewerModel::release() {
  for (ViewerVertexBuffer& vertices : vertex_buffers) {
    release_fully(&vertices.buffer);
    release_fully(&vertices.declaration);
  }
  for (ViewerIndexBuffer& indices : index_buffers) release_fully(&indices.buffer);
}

ViewerSubmesh plan_submesh(const std::uint8_t* record, const ViewerModel& model) {
  ViewerSubmesh submesh;
  submesh.buffer = ModelView::word(record, g1m::kSubmeshBufferWord);
  submesh.min_index = ModelView::word(record, g1m::kSubmeshFirstVertexWord);
  submesh.vertex_count = ModelView::word(record, g1m::kSubmeshVertexCountWord);
  submesh.start_index = ModelView::word(record, g1m::kSubmeshFirstIndexWord);
  const std::uint32_t index_count = ModelView::word(record, g1m::kSubmeshIndexCountWord);
  // Fewer than two indices would ask for a negative number of triangles.
  if (index_count < 2) return submesh;
  submesh.primitive_count = index_count - 2;
  if (submesh.buffer >= model.vertex_buffers.size() ||
      submesh.buffer >= model.index_buffers.size()) {
    return submesh;
  }
  const ViewerVertexBuffer& vertices = model.vertex_buffers[submesh.buffer];
  const ViewerIndexBuffer& indices = model.index_buffers[submesh.buffer];
  if (vertices.buffer == nullptr || indices.buffer == nullptr) return submesh;
  const std::uint64_t end_index = std::uint64_t{submesh.start_index} + index_count;
  if (end_index > indices.index_count ||
      std::uint64_t{submesh.min_index} + submesh.vertex_count > vertices.vertex_count) {
    return submesh;
  }
  for (std::uint64_t at = submesh.start_index; at < end_index; ++at) {
    if (index_at(indices, at) >= vertices.vertex_count) return submesh;
  }
  submesh.drawable = true;
  return submesh;
}

ModelBuildResult build_viewer_model(const ModelView& view, d3d9::IDirect3DDevice9* device,
                                    ViewerModel* model) {
  if (model_buffer_bytes(view) > kMaxModelBufferBytes) return ModelBuildResult::kTooLarge;

  const std::uint32_t vertex_buffer_count =
      recorded(recorded(view.vertex_buffer_count(), view.vb_headers), view.vb_data);
  model->vertex_buffers.resize(vertex_buffer_count);
  for (std::uint32_t i = 0; i < vertex_buffer_count; ++i) {
    ViewerVertexBuffer& vertices = model->vertex_buffers[i];
    vertices.stride = ModelView::word(view.vb_headers[i], g1m::kVertexBufferStrideWord);
    vertices.vertex_count = ModelView::word(view.vb_headers[i], g1m::kVertexBufferCountWord);
    // Within the limit above, so it fits 32 bits. An empty buffer is left
    // out (its sub-meshes are skipped) rather than ending the viewer.
    const auto length = static_cast<std::uint32_t>(vertex_bytes(view.vb_headers[i]));
    if (length == 0) continue;
    if (device->CreateVertexBuffer(length, 0, 0, d3d9::D3DPOOL_DEFAULT, &vertices.buffer,
                                   nullptr) != D3D_OK) {
      return ModelBuildResult::kDeviceFailed;
    }
    copy_into(vertices.buffer, view.vb_data[i], length);
    device->CreateVertexDeclaration(vertex_layout_for_stride(vertices.stride).data(),
                                    &vertices.declaration);
  }

  const std::uint32_t index_buffer_count =
      recorded(recorded(view.index_buffer_count(), view.ib_headers), view.ib_data);
  model->index_buffers.resize(index_buffer_count);
  for (std::uint32_t j = 0; j < index_buffer_count; ++j) {
    ViewerIndexBuffer& indices = model->index_buffers[j];
    indices.index_bits = ModelView::word(view.ib_headers[j], g1m::kIndexBufferBitsWord);
    indices.index_count = ModelView::word(view.ib_headers[j], g1m::kIndexBufferCountWord);
    indices.indices = view.ib_data[j];
    // Other widths have no index buffer; their sub-meshes are skipped.
    if (indices.index_bits != 16 && indices.index_bits != 32) continue;
    const auto length = static_cast<std::uint32_t>(index_bytes(view.ib_headers[j]));
    if (length == 0) continue;
    const d3d9::D3DFORMAT format =
        indices.index_bits == 32 ? d3d9::D3DFMT_INDEX32 : d3d9::D3DFMT_INDEX16;
    if (device->CreateIndexBuffer(length, 0, format, d3d9::D3DPOOL_DEFAULT, &indices.buffer,
                                  nullptr) != D3D_OK) {
      return ModelBuildResult::kDeviceFailed;
    }
    copy_into(indices.buffer, indices.indices, length);
  }

  const std::uint32_t submesh_count = recorded(view.submesh_count(), view.sm_records);
  model->submeshes.resize(submesh_count);
  for (std::uint32_t s = 0; s < submesh_count; ++s) {
    model->submeshes[s] = plan_submesh(view.sm_records[s], *model);
  }
  return ModelBuildResult::kBuilt;
}

}  // namespace korvel
