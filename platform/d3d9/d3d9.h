// The 3-D device the model viewer draws with. It makes no pixels: it records
// resources once, when they are made, and each presented frame as a short
// list of commands, and hands both to the display of its window, which draws
// them (platform/win/frames.h).
//
// Reference counting follows Direct3D 9: AddRef and Release count the
// caller's references and answer that count. What the device holds on its
// own (the objects bound to it; each resource's hold on its device, and the
// device's on its interface) is counted apart, so an object stays alive while
// it is bound or while its resources live, but Release never counts it.
//
// A device and its objects belong to one thread. An invalid call answers
// D3DERR_INVALIDCALL and changes nothing; calls, states and values the viewer
// never uses are refused the same way rather than half provided.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9_types.h"
#include "platform/limits.h"
#include "platform/win/device_frames.h"

namespace korvel::d3d9 {

using ULONG = std::uint32_t;

class IDirect3DDevice9;
class IDirect3DVertexBuffer9;
class IDirect3DIndexBuffer9;
class IDirect3DVertexDeclaration9;
class IDirect3DTexture9;

namespace detail {

struct RefCounts {
  ULONG external = 1;
  ULONG internal = 0;
  bool unused() const { return external == 0 && internal == 0; }
};

// The bytes of a vertex or index buffer; published to the display at Unlock.
struct BufferStore {
  std::vector<std::uint8_t> bytes;
  bool locked = false;
  std::uint64_t resource_id = 0;  // of the bytes last published; 0 before the first Unlock
};

struct BackBufferSize {
  UINT width = 1;
  UINT height = 1;
};
// The client size of window for a back buffer: at least one pixel each way,
// at most the largest frame the display takes.
BackBufferSize back_buffer_size_of(HWND window);

}  // namespace detail

class IDirect3D9 {
 public:
  ULONG AddRef();
  ULONG Release();
  // Back buffer 0 x 0 takes the client size of the device window (the focus
  // window when hDeviceWindow is null), and keeps following it: our windows
  // get their size from the browser's layout, which may come after the
  // device was made. Parameters are filled in as used.
  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE device_type, HWND focus_window,
                       DWORD behavior_flags, D3DPRESENT_PARAMETERS* parameters,
                       IDirect3DDevice9** device);

 private:
  friend IDirect3D9* Direct3DCreate9(UINT sdk_version);
  friend class IDirect3DDevice9;
  IDirect3D9() = default;
  void release_internal();
  detail::RefCounts refs_;
};

// Null for any SDK version but D3D_SDK_VERSION.
IDirect3D9* Direct3DCreate9(UINT sdk_version);

class IDirect3DVertexBuffer9 {
 public:
  ULONG AddRef();
  ULONG Release();
  // Offset and size 0 lock the whole buffer. The bytes reach the display at
  // Unlock.
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();

 private:
  friend class IDirect3DDevice9;
  explicit IDirect3DVertexBuffer9(IDirect3DDevice9* device) : device_(device) {}
  void hold() { ++refs_.internal; }
  void release_internal();
  detail::RefCounts refs_;
  IDirect3DDevice9* device_;
  detail::BufferStore store_;
};

class IDirect3DIndexBuffer9 {
 public:
  ULONG AddRef();
  ULONG Release();
  HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT Unlock();

 private:
  friend class IDirect3DDevice9;
  IDirect3DIndexBuffer9(IDirect3DDevice9* device, D3DFORMAT format)
      : device_(device), format_(format) {}
  void hold() { ++refs_.internal; }
  void release_internal();
  detail::RefCounts refs_;
  IDirect3DDevice9* device_;
  D3DFORMAT format_;
  detail::BufferStore store_;
};

class IDirect3DVertexDeclaration9 {
 public:
  ULONG AddRef();
  ULONG Release();

 private:
  friend class IDirect3DDevice9;
  IDirect3DVertexDeclaration9(IDirect3DDevice9* device,
                              std::vector<win::DeviceVertexElement> elements)
      : device_(device), elements_(std::move(elements)) {}
  void hold() { ++refs_.internal; }
  void release_internal();
  detail::RefCounts refs_;
  IDirect3DDevice9* device_;
  std::vector<win::DeviceVertexElement> elements_;
};

// One level kept: the first, as RGBA. Made by D3DXCreateTextureFromFileInMemory.
class IDirect3DTexture9 {
 public:
  ULONG AddRef();
  ULONG Release();
  UINT width() const { return width_; }
  UINT height() const { return height_; }

 private:
  friend class IDirect3DDevice9;
  IDirect3DTexture9(IDirect3DDevice9* device, UINT width, UINT height, std::uint64_t resource_id)
      : device_(device), width_(width), height_(height), resource_id_(resource_id) {}
  void hold() { ++refs_.internal; }
  void release_internal();
  detail::RefCounts refs_;
  IDirect3DDevice9* device_;
  UINT width_;
  UINT height_;
  std::uint64_t resource_id_;
};

class IDirect3DDevice9 {
 public:
  ULONG AddRef();
  ULONG Release();

  // Usage and FVF must be 0 and the pool D3DPOOL_DEFAULT or D3DPOOL_MANAGED.
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** buffer, HANDLE* shared_handle);
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** buffer, HANDLE* shared_handle);
  // Stream 0, the default method, and the element types and usages of the
  // viewer's layouts; offsets on 4-byte boundaries, each usage once.
  HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                  IDirect3DVertexDeclaration9** declaration);
  // Makes a texture of an RGBA image (rows top first). For the D3DX loader.
  HRESULT create_texture_from_rgba(UINT width, UINT height, std::vector<std::uint8_t> rgba,
                                   IDirect3DTexture9** texture);

  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
  HRESULT SetViewport(const D3DVIEWPORT9* viewport);
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride);
  HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration);
  HRESULT SetIndices(IDirect3DIndexBuffer9* buffer);
  // Stages 0 and 1; what is drawn samples stage 0 only.
  HRESULT SetTexture(DWORD stage, IDirect3DTexture9* texture);
  // Triangle strips, inside a scene, with every binding made, reaching no
  // further than the bound index buffer and vertex buffer.
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base_vertex, UINT min_index,
                               UINT vertex_count, UINT start_index, UINT primitive_count);
  // Clears the current viewport; no rectangles.
  HRESULT Clear(DWORD rect_count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                DWORD stencil);
  HRESULT BeginScene();
  HRESULT EndScene();
  // Hands the frame recorded since the last Present to the display, after
  // waiting until the display took the previous one or one frame interval
  // passed since then. All four arguments must be null.
  HRESULT Present(const void* source_rect, const void* dest_rect, HWND dest_window,
                  const void* dirty_region);

  // For tests and benchmarks: the frame being recorded, and forgetting it.
  const win::DeviceFrame& recording() const { return frame_; }
  void drop_recording() { start_frame(); }

 private:
  friend class IDirect3D9;
  friend class IDirect3DVertexBuffer9;
  friend class IDirect3DIndexBuffer9;
  friend class IDirect3DVertexDeclaration9;
  friend class IDirect3DTexture9;
  IDirect3DDevice9(IDirect3D9* direct3d, HWND window, UINT width, UINT height, bool depth_buffer,
                   bool size_from_window);

  void release_internal();
  void unbind_all();
  // Holds the new object before letting go of the old one, so rebinding an
  // object that only the binding holds does not end it.
  template <class Object>
  static void rebind(Object** slot, Object* object);
  // A fresh frame for the back buffer, recording nothing yet; a back buffer
  // sized by its window takes the window's size again first.
  void start_frame();
  win::DeviceState current_state() const;

  detail::RefCounts refs_;
  IDirect3D9* direct3d_;
  HWND window_;
  UINT width_;
  UINT height_;
  bool depth_buffer_;
  bool size_from_window_;

  IDirect3DVertexBuffer9* stream_ = nullptr;
  UINT stream_stride_ = 0;
  IDirect3DVertexDeclaration9* declaration_ = nullptr;
  IDirect3DIndexBuffer9* indices_ = nullptr;
  std::array<IDirect3DTexture9*, 2> textures_{};

  D3DVIEWPORT9 viewport_{};
  D3DMATRIX world_{};
  D3DMATRIX view_{};
  D3DMATRIX projection_{};
  DWORD cull_mode_ = D3DCULL_CCW;
  DWORD lighting_ = 1;
  DWORD z_enable_ = D3DZB_FALSE;
  DWORD alpha_blend_ = 0;
  bool state_changed_ = true;  // since the last state the frame recorded

  bool in_scene_ = false;
  win::DeviceFrame frame_;
  std::uint64_t last_frame_number_ = 0;
  win::DWORD last_present_ms_ = 0;
};

}  // namespace korvel::d3d9
