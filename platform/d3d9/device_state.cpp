// The device's bindings, transforms, viewport and render states.
#include <cmath>
#include <cstring>

#include "platform/d3d9/d3d9.h"

namespace korvel::d3d9 {
namespace {

win::DeviceMatrix to_device_matrix(const D3DMATRIX& matrix) {
  win::DeviceMatrix out{};
  std::memcpy(out.data(), matrix.m, sizeof(matrix.m));
  return out;
}

bool unit_depth(float z) {
  return z >= 0.0f && z <= 1.0f;
}  // false for NaN too

}  // namespace

template <class Object>
void IDirect3DDevice9::rebind(Object** slot, Object* object) {
  if (object == *slot) return;
  if (object != nullptr) object->hold();
  Object* old = *slot;
  *slot = object;
  if (old != nullptr) old->release_internal();
}

HRESULT IDirect3DDevice9::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  switch (state) {
    case D3DRS_CULLMODE:
      if (value < D3DCULL_NONE || value > D3DCULL_CCW) return D3DERR_INVALIDCALL;
      cull_mode_ = value;
      break;
    case D3DRS_ZENABLE:
      // No W-buffer: the depth buffer is a plain 16-bit one.
      if (value != D3DZB_FALSE && value != D3DZB_TRUE) return D3DERR_INVALIDCALL;
      z_enable_ = value;
      break;
    case D3DRS_LIGHTING:
      lighting_ = value != 0;
      break;
    case D3DRS_ALPHABLENDENABLE:
      alpha_blend_ = value != 0;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  state_changed_ = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
  if (matrix == nullptr) return D3DERR_INVALIDCALL;
  switch (state) {
    case D3DTS_WORLD:
      world_ = *matrix;
      break;
    case D3DTS_VIEW:
      view_ = *matrix;
      break;
    case D3DTS_PROJECTION:
      projection_ = *matrix;
      break;
    default:
      return D3DERR_INVALIDCALL;
  }
  state_changed_ = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetViewport(const D3DVIEWPORT9* viewport) {
  if (viewport == nullptr) return D3DERR_INVALIDCALL;
  // The viewport must lie within the back buffer.
  if (std::uint64_t{viewport->X} + viewport->Width > width_ ||
      std::uint64_t{viewport->Y} + viewport->Height > height_ || !unit_depth(viewport->MinZ) ||
      !unit_depth(viewport->MaxZ)) {
    return D3DERR_INVALIDCALL;
  }
  viewport_ = *viewport;
  state_changed_ = true;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                          UINT stride) {
  // One stream, bound from its first byte: all the viewer's layouts need.
  if (stream != 0 || offset != 0) return D3DERR_INVALIDCALL;
  rebind(&stream_, buffer);
  stream_stride_ = buffer != nullptr ? stride : 0;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) {
  rebind(&declaration_, declaration);
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetIndices(IDirect3DIndexBuffer9* buffer) {
  rebind(&indices_, buffer);
  return D3D_OK;
}

HRESULT IDirect3DDevice9::SetTexture(DWORD stage, IDirect3DTexture9* texture) {
  if (stage >= textures_.size()) return D3DERR_INVALIDCALL;
  rebind(&textures_[stage], texture);
  return D3D_OK;
}

win::DeviceState IDirect3DDevice9::current_state() const {
  win::DeviceState state;
  state.viewport_x = static_cast<int>(viewport_.X);
  state.viewport_y = static_cast<int>(viewport_.Y);
  state.viewport_width = static_cast<int>(viewport_.Width);
  state.viewport_height = static_cast<int>(viewport_.Height);
  state.viewport_min_z = viewport_.MinZ;
  state.viewport_max_z = viewport_.MaxZ;
  state.world = to_device_matrix(world_);
  state.view = to_device_matrix(view_);
  state.projection = to_device_matrix(projection_);
  state.cull_mode = cull_mode_;
  state.lighting = lighting_ != 0;
  state.z_enable = z_enable_ != 0;
  state.alpha_blend = alpha_blend_ != 0;
  return state;
}

}  // namespace korvel::d3d9
