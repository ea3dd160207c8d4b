// Reference counting of the device and its objects, and buffer locking.
#include <memory>

#include "platform/d3d9/d3d9.h"
#include "platform/win/frames.h"

namespace korvel::d3d9 {

ULONG IDirect3DDevice9::AddRef() {
  return ++refs_.external;
}

ULONG IDirect3DDevice9::Release() {
  if (refs_.external == 0) return 0;
  const ULONG left = --refs_.external;
  if (left == 0) {
    // The caller let go: drop what the device holds bound, which may in turn
    // end objects whose only holder was the binding. The extra hold keeps the
    // device alive while they let go of it.
    ++refs_.internal;
    unbind_all();
    release_internal();
  }
  return left;
}

void IDirect3DDevice9::release_internal() {
  --refs_.internal;
  if (!refs_.unused()) return;
  IDirect3D9* direct3d = direct3d_;
  delete this;
  direct3d->release_internal();
}

void IDirect3DDevice9::unbind_all() {
  SetStreamSource(0, nullptr, 0, 0);
  SetVertexDeclaration(nullptr);
  SetIndices(nullptr);
  for (DWORD stage = 0; stage < textures_.size(); ++stage) SetTexture(stage, nullptr);
}

namespace {

HRESULT lock_store(detail::BufferStore* store, UINT offset, UINT size, void** data, DWORD flags) {
  if (data == nullptr) return D3DERR_INVALIDCALL;
  *data = nullptr;
  const std::uint64_t length = store->bytes.size();
  if (offset == 0 && size == 0) size = static_cast<UINT>(length);
  // Flags are hints about how the bytes are used; none changes what we do.
  (void)flags;
  if (store->locked || std::uint64_t{offset} + size > length) return D3DERR_INVALIDCALL;
  store->locked = true;
  *data = store->bytes.data() + offset;
  return D3D_OK;
}

// Hands the buffer's bytes to the display as a new resource in place of the
// previous one, so a frame never names bytes that changed under it.
HRESULT unlock_store(detail::BufferStore* store, HWND window, win::DeviceResource resource) {
  if (!store->locked) return D3DERR_INVALIDCALL;
  store->locked = false;
  resource.id = win::new_device_resource_id();
  resource.bytes = std::make_shared<const std::vector<std::uint8_t>>(store->bytes);
  win::release_device_resource(window, store->resource_id);
  store->resource_id = resource.id;
  win::publish_device_resource(window, resource);
  return D3D_OK;
}

}  // namespace

#define KORVEL_DEVICE_OBJECT_COUNTING(Class, resource_id_expression)       \
  ULONG Class::AddRef() {                                                  \
    return ++refs_.external;                                               \
  }                                                                        \
  ULONG Class::Release() {                                                 \
    if (refs_.external == 0) return 0;                                     \
    const ULONG left = --refs_.external;                                   \
    if (refs_.unused()) {                                                  \
      ++refs_.internal;                                                    \
      release_internal();                                                  \
    }                                                                      \
    return left;                                                           \
  }                                                                        \
  void Class::release_internal() {                                         \
    --refs_.internal;                                                      \
    if (!refs_.unused()) return;                                           \
    IDirect3DDevice9* device = device_;                                    \
    win::release_device_resource(device->window_, resource_id_expression); \
    delete this;                                                           \
    device->release_internal();                                            \
  }

KORVEL_DEVICE_OBJECT_COUNTING(IDirect3DVertexBuffer9, store_.resource_id)
KORVEL_DEVICE_OBJECT_COUNTING(IDirect3DIndexBuffer9, store_.resource_id)
KORVEL_DEVICE_OBJECT_COUNTING(IDirect3DVertexDeclaration9, 0)
KORVEL_DEVICE_OBJECT_COUNTING(IDirect3DTexture9, resource_id_)

#undef KORVEL_DEVICE_OBJECT_COUNTING

HRESULT IDirect3DVertexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  return lock_store(&store_, offset, size, data, flags);
}

HRESULT IDirect3DVertexBuffer9::Unlock() {
  win::DeviceResource resource;
  resource.kind = win::DeviceResourceKind::kVertexBuffer;
  return unlock_store(&store_, device_->window_, resource);
}

HRESULT IDirect3DIndexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  return lock_store(&store_, offset, size, data, flags);
}

HRESULT IDirect3DIndexBuffer9::Unlock() {
  win::DeviceResource resource;
  resource.kind = win::DeviceResourceKind::kIndexBuffer;
  resource.index_bits = format_ == D3DFMT_INDEX32 ? 32 : 16;
  return unlock_store(&store_, device_->window_, resource);
}

}  // namespace korvel::d3d9
