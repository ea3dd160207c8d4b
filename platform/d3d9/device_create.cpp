// Making the device's buffers, declarations and textures.
#include <memory>
#include <new>
#include <utility>

#include "platform/d3d9/d3d9.h"
#include "platform/limits.h"
#include "platform/win/frames.h"

namespace korvel::d3d9 {
namespace {

bool buffer_arguments_ok(UINT length, DWORD usage, D3DPOOL pool) {
  return length > 0 && usage == 0 && (pool == D3DPOOL_DEFAULT || pool == D3DPOOL_MANAGED);
}

// The element types and usages of the viewer's vertex layouts.
bool known_type(BYTE type) {
  return type == D3DDECLTYPE_FLOAT1 || type == D3DDECLTYPE_FLOAT2 || type == D3DDECLTYPE_FLOAT3 ||
         type == D3DDECLTYPE_FLOAT4 || type == D3DDECLTYPE_UBYTE4;
}

bool known_usage(BYTE usage) {
  switch (usage) {
    case D3DDECLUSAGE_POSITION:
    case D3DDECLUSAGE_BLENDWEIGHT:
    case D3DDECLUSAGE_BLENDINDICES:
    case D3DDECLUSAGE_NORMAL:
    case D3DDECLUSAGE_PSIZE:
    case D3DDECLUSAGE_TEXCOORD:
    case D3DDECLUSAGE_TANGENT:
    case D3DDECLUSAGE_BINORMAL:
    case D3DDECLUSAGE_FOG:
      return true;
    default:
      return false;
  }
}

}  // namespace

HRESULT IDirect3DDevice9::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                             IDirect3DVertexBuffer9** buffer,
                                             HANDLE* shared_handle) {
  if (buffer == nullptr) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (!buffer_arguments_ok(length, usage, pool) || fvf != 0 || shared_handle != nullptr) {
    return D3DERR_INVALIDCALL;
  }
  if (length > kMaxDeviceBufferBytes) return D3DERR_OUTOFVIDEOMEMORY;
  auto* made = new IDirect3DVertexBuffer9(this);
  made->store_.bytes.assign(length, 0);
  ++refs_.internal;
  *buffer = made;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DIndexBuffer9** buffer,
                                            HANDLE* shared_handle) {
  if (buffer == nullptr) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (!buffer_arguments_ok(length, usage, pool) || shared_handle != nullptr ||
      (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) {
    return D3DERR_INVALIDCALL;
  }
  if (length > kMaxDeviceBufferBytes) return D3DERR_OUTOFVIDEOMEMORY;
  auto* made = new IDirect3DIndexBuffer9(this, format);
  made->store_.bytes.assign(length, 0);
  ++refs_.internal;
  *buffer = made;
  return D3D_OK;
}

HRESULT IDirect3DDevice9::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                                  IDirect3DVertexDeclaration9** declaration) {
  if (declaration == nullptr) return D3DERR_INVALIDCALL;
  *declaration = nullptr;
  if (elements == nullptr) return D3DERR_INVALIDCALL;
  std::vector<win::DeviceVertexElement> kept;
  for (std::size_t i = 0;; ++i) {
    if (i == kMaxDeclarationElements) return D3DERR_INVALIDCALL;
    const D3DVERTEXELEMENT9& element = elements[i];
    if (element.Stream == D3DDECL_END.Stream && element.Type == D3DDECLTYPE_UNUSED) break;
    if (element.Stream != 0 || element.Method != D3DDECLMETHOD_DEFAULT || element.Offset % 4 != 0 ||
        !known_type(element.Type) || !known_usage(element.Usage)) {
      return D3DERR_INVALIDCALL;
    }
    for (const win::DeviceVertexElement& earlier : kept) {
      if (earlier.usage == element.Usage && earlier.usage_index == element.UsageIndex) {
        return D3DERR_INVALIDCALL;
      }
    }
    kept.push_back({element.Offset, element.Type, element.Usage, element.UsageIndex});
  }
  ++refs_.internal;
  *declaration = new IDirect3DVertexDeclaration9(this, std::move(kept));
  return D3D_OK;
}

HRESULT IDirect3DDevice9::create_texture_from_rgba(UINT width, UINT height,
                                                   std::vector<std::uint8_t> rgba,
                                                   IDirect3DTexture9** texture) {
  if (texture == nullptr) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || rgba.size() != std::uint64_t{width} * height * 4) {
    return D3DERR_INVALIDCALL;
  }
  win::DeviceResource resource;
  resource.id = win::new_device_resource_id();
  resource.kind = win::DeviceResourceKind::kTexture;
  resource.width = static_cast<int>(width);
  resource.height = static_cast<int>(height);
  resource.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(rgba));
  win::publish_device_resource(window_, resource);
  ++refs_.internal;
  *texture = new IDirect3DTexture9(this, width, height, resource.id);
  return D3D_OK;
}

}  // namespace korvel::d3d9
