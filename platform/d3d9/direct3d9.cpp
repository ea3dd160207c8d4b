#include <algorithm>
#include <cstdint>

#include "platform/d3d9/d3d9.h"
#include "platform/win/frames.h"
#include "platform/win/window_registry.h"

namespace korvel::d3d9 {

IDirect3D9* Direct3DCreate9(UINT sdk_version) {
  if (sdk_version != D3D_SDK_VERSION) return nullptr;
  return new IDirect3D9();
}

ULONG IDirect3D9::AddRef() {
  return ++refs_.external;
}

ULONG IDirect3D9::Release() {
  if (refs_.external == 0) return 0;
  const ULONG left = --refs_.external;
  if (refs_.unused()) delete this;
  return left;
}

void IDirect3D9::release_internal() {
  --refs_.internal;
  if (refs_.unused()) delete this;
}

namespace detail {

BackBufferSize back_buffer_size_of(HWND window) {
  win::RECT client{};
  win::GetClientRect(window, &client);
  const auto side = [](win::LONG length) {
    return static_cast<UINT>(std::clamp<win::LONG>(length, 1, win::kMaxFrameSide));
  };
  return {side(client.right - client.left), side(client.bottom - client.top)};
}

}  // namespace detail

namespace {

bool one_vertex_processing_flag(DWORD flags) {
  const DWORD processing =
      flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
               D3DCREATE_MIXED_VERTEXPROCESSING);
  return processing != 0 && (processing & (processing - 1)) == 0;
}

bool acceptable_parameters(const D3DPRESENT_PARAMETERS& parameters) {
  const bool format_ok = parameters.BackBufferFormat == D3DFMT_UNKNOWN ||
                         parameters.BackBufferFormat == D3DFMT_A8R8G8B8 ||
                         parameters.BackBufferFormat == D3DFMT_X8R8G8B8;
  const bool swap_ok =
      parameters.SwapEffect >= D3DSWAPEFFECT_DISCARD && parameters.SwapEffect <= D3DSWAPEFFECT_COPY;
  // Only the windowed mode the viewer uses, with a 16-bit depth buffer or none.
  const bool depth_ok =
      !parameters.EnableAutoDepthStencil || parameters.AutoDepthStencilFormat == D3DFMT_D16;
  return parameters.Windowed && format_ok && swap_ok && depth_ok &&
         parameters.BackBufferCount <= 1 && parameters.MultiSampleType == 0;
}

}  // namespace

HRESULT IDirect3D9::CreateDevice(UINT adapter, D3DDEVTYPE device_type, HWND focus_window,
                                 DWORD behavior_flags, D3DPRESENT_PARAMETERS* parameters,
                                 IDirect3DDevice9** device) {
  if (device == nullptr) return D3DERR_INVALIDCALL;
  *device = nullptr;
  if (adapter != D3DADAPTER_DEFAULT || device_type != D3DDEVTYPE_HAL || parameters == nullptr ||
      !one_vertex_processing_flag(behavior_flags) || !acceptable_parameters(*parameters)) {
    return D3DERR_INVALIDCALL;
  }
  const HWND window =
      parameters->hDeviceWindow != nullptr ? parameters->hDeviceWindow : focus_window;
  if (!win::IsWindow(focus_window) || !win::IsWindow(window)) return D3DERR_INVALIDCALL;

  UINT width = parameters->BackBufferWidth;
  UINT height = parameters->BackBufferHeight;
  const bool size_from_window = width == 0 && height == 0;
  if (width == 0 || height == 0) {
    const detail::BackBufferSize client = detail::back_buffer_size_of(window);
    if (width == 0) width = client.width;
    if (height == 0) height = client.height;
  }
  if (width > static_cast<UINT>(win::kMaxFrameSide) ||
      height > static_cast<UINT>(win::kMaxFrameSide)) {
    return D3DERR_INVALIDCALL;
  }
  parameters->BackBufferWidth = width;
  parameters->BackBufferHeight = height;
  if (parameters->BackBufferFormat == D3DFMT_UNKNOWN)
    parameters->BackBufferFormat = D3DFMT_X8R8G8B8;
  parameters->BackBufferCount = 1;

  ++refs_.internal;
  *device = new IDirect3DDevice9(this, window, width, height,
                                 parameters->EnableAutoDepthStencil != 0, size_from_window);
  return D3D_OK;
}

namespace {

D3DMATRIX identity() {
  D3DMATRIX matrix{};
  for (int i = 0; i < 4; ++i) matrix.m[i][i] = 1.0f;
  return matrix;
}

}  // namespace

IDirect3DDevice9::IDirect3DDevice9(IDirect3D9* direct3d, HWND window, UINT width, UINT height,
                                   bool depth_buffer, bool size_from_window)
    : direct3d_(direct3d),
      window_(window),
      width_(width),
      height_(height),
      depth_buffer_(depth_buffer),
      size_from_window_(size_from_window),
      viewport_{0, 0, width, height, 0.0f, 1.0f},
      world_(identity()),
      view_(identity()),
      projection_(identity()),
      z_enable_(depth_buffer ? D3DZB_TRUE : D3DZB_FALSE) {
  start_frame();
}

}  // namespace korvel::d3d9
