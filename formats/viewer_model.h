// The model's graphics buffers, made once from what the model decoder left in
// the Archive, and which of its sub-meshes can be drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/model_view.h"
#include "platform/d3d9/d3d9.h"

namespace korvel {

// A model whose vertex and index buffers together pass this is not shown.
constexpr std::uint64_t kMaxModelBufferBytes = 512ull * 1024 * 1024;

struct ViewerVertexBuffer {
  d3d9::IDirect3DVertexBuffer9* buffer = nullptr;  // null: empty in the model
  d3d9::IDirect3DVertexDeclaration9* declaration = nullptr;
  std::uint32_t stride = 0;
  std::uint32_t vertex_count = 0;
};

struct ViewerIndexBuffer {
  d3d9::IDirect3DIndexBuffer9* buffer = nullptr;  // null: empty, or not 16 or 32 bits
  const std::uint8_t* indices = nullptr;          // in the Archive's image, host order
  std::uint32_t index_bits = 0;
  std::uint32_t index_count = 0;
};

// The numbers of one sub-mesh's draw; drawable only when every one of them
// stays inside its buffers.
struct ViewerSubmesh {
  bool drawable = false;
  std::uint32_t buffer = 0;
  std::uint32_t min_index = 0;
  std::uint32_t vertex_count = 0;
  std::uint32_t start_index = 0;
  std::uint32_t primitive_count = 0;
};

struct ViewerModel {
  std::vector<ViewerVertexBuffer> vertex_buffers;
  std::vector<ViewerIndexBuffer> index_buffers;
  std::vector<ViewerSubmesh> submeshes;  // one per record, drawable or not

  // Lets go of every buffer and declaration.
  void release();
};

enum class ModelBuildResult { kBuilt, kTooLarge, kDeviceFailed };

// kTooLarge before any buffer is made; kDeviceFailed when the device could
// not make a buffer (what was made is in model, for release).
ModelBuildResult build_viewer_model(const ModelView& view, d3d9::IDirect3DDevice9* device,
                                    ViewerModel* model);

// Whether the record's draw reads only inside its buffers: the buffers exist,
// the index range lies in the index buffer, the vertex range in the vertex
// buffer, and every index read names a vertex of the vertex buffer.
ViewerSubmesh plan_submesh(const std::uint8_t* record, const ViewerModel& model);

}  // namespace korvel
