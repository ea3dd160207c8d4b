// Recording a frame (clears and draws) and presenting it.
#include "platform/d3d9/d3d9.h"
#include "platform/win/frames.h"
#include "platform/win/threads_clock.h"
#include "platform/win/window_registry.h"

namespace korvel::d3d9 {
namespace {

// Present waits at most this long for the display to take the previous frame
// (1/60 s, to the millisecond below).
constexpr win::DWORD kFrameIntervalMs = 16;

std::uint64_t buffer_resource(const detail::BufferStore& store) {
  return store.resource_id;
}

}  // namespace

void IDirect3DDevice9::start_frame() {
  if (size_from_window_) {
    const detail::BackBufferSize size = detail::back_buffer_size_of(window_);
    if (size.width != width_ || size.height != height_) {
      // As after a reset, the viewport covers the new back buffer.
      width_ = size.width;
      height_ = size.height;
      viewport_ = {0, 0, width_, height_, 0.0f, 1.0f};
    }
  }
  frame_ = win::DeviceFrame();
  frame_.width = static_cast<int>(width_);
  frame_.height = static_cast<int>(height_);
  state_changed_ = true;
}

HRESULT IDirect3DDevice9::Clear(DWORD rect_count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                                float z, DWORD stencil) {
  (void)stencil;
  const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  // No rectangle lists and no stencil: the depth buffer is a 16-bit one.
  if (rect_count != 0 || rects != nullptr || flags == 0 || (flags & ~known) != 0 ||
      ((flags & D3DCLEAR_ZBUFFER) != 0 && !depth_buffer_) || !(z >= 0.0f && z <= 1.0f)) {
    return D3DERR_INVALIDCALL;
  }
  win::DeviceClear clear;
  clear.draws_before = static_cast<std::uint32_t>(frame_.draws.size());
  clear.x = static_cast<int>(viewport_.X);
  clear.y = static_cast<int>(viewport_.Y);
  clear.width = static_cast<int>(viewport_.Width);
  clear.height = static_cast<int>(viewport_.Height);
  clear.target = (flags & D3DCLEAR_TARGET) != 0;
  clear.depth = (flags & D3DCLEAR_ZBUFFER) != 0;
  clear.color = color;
  clear.depth_value = z;
  frame_.clears.push_back(clear);
  return D3D_OK;
}

HRESULT IDirect3DDevice9::BeginScene() {
  if (in_scene_) return D3DERR_INVALIDCALL;
  in_scene_ = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::EndScene() {
  if (!in_scene_) return D3DERR_INVALIDCALL;
  in_scene_ = false;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base_vertex,
                                               UINT min_index, UINT vertex_count, UINT start_index,
                                               UINT primitive_count) {
  if (!in_scene_ || type != D3DPT_TRIANGLESTRIP || stream_ == nullptr || stream_stride_ == 0 ||
      declaration_ == nullptr || indices_ == nullptr) {
    return D3DERR_INVALIDCALL;
  }
  // The indices read and the vertex range named must lie in the buffers.
  const std::uint64_t index_size = indices_->format_ == D3DFMT_INDEX32 ? 4 : 2;
  const std::uint64_t index_count = indices_->store_.bytes.size() / index_size;
  const std::uint64_t indices_read = primitive_count == 0 ? 0 : std::uint64_t{primitive_count} + 2;
  const std::uint64_t vertices = stream_->store_.bytes.size() / stream_stride_;
  const std::int64_t first_vertex = std::int64_t{base_vertex} + min_index;
  if (std::uint64_t{start_index} + indices_read > index_count || first_vertex < 0 ||
      static_cast<std::uint64_t>(first_vertex) + vertex_count > vertices) {
    return D3DERR_INVALIDCALL;
  }
  if (state_changed_ || frame_.states.empty()) {
    frame_.states.push_back(current_state());
    state_changed_ = false;
  }
  win::DeviceDraw draw;
  draw.vertex_buffer = buffer_resource(stream_->store_);
  draw.stride = stream_stride_;
  draw.declaration = declaration_->elements_;
  draw.index_buffer = buffer_resource(indices_->store_);
  draw.texture = textures_[0] != nullptr ? textures_[0]->resource_id_ : 0;
  draw.base_vertex = base_vertex;
  draw.min_index = min_index;
  draw.vertex_count = vertex_count;
  draw.start_index = start_index;
  draw.primitive_count = primitive_count;
  draw.state = static_cast<std::uint32_t>(frame_.states.size() - 1);
  frame_.draws.push_back(std::move(draw));
  return D3D_OK;
}

HRESULT IDirect3DDevice9::Present(const void* source_rect, const void* dest_rect, HWND dest_window,
                                  const void* dirty_region) {
  // The whole back buffer to the whole device window, the only way we present.
  if (source_rect != nullptr || dest_rect != nullptr || dest_window != nullptr ||
      dirty_region != nullptr || in_scene_) {
    return D3DERR_INVALIDCALL;
  }
  if (last_frame_number_ != 0) {
    const win::DWORD elapsed = win::timeGetTime() - last_present_ms_;
    if (elapsed < kFrameIntervalMs) {
      const win::DWORD left = kFrameIntervalMs - elapsed;
      // A window that is gone answers at once; the interval still paces us.
      if (!win::wait_until_frame_taken(window_, last_frame_number_, left) &&
          !win::IsWindow(window_)) {
        win::Sleep(left);
      }
    }
  }
  const std::uint64_t number = win::publish_frame(window_, std::move(frame_));
  last_present_ms_ = win::timeGetTime();
  if (number != 0) last_frame_number_ = number;
  start_frame();
  return D3D_OK;
}

}  // namespace korvel::d3d9
