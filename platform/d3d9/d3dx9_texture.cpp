#include "platform/d3d9/d3dx9_texture.h"

#include <cstdint>
#include <utility>

#include "platform/d3d9/dds_decode.h"

namespace korvel::d3d9 {

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture) {
  if (texture != nullptr) *texture = nullptr;
  if (device == nullptr || data == nullptr || size == 0 || texture == nullptr) {
    return D3DERR_INVALIDCALL;
  }
  RgbaImage image;
  if (!decode_dds_first_level(static_cast<const std::uint8_t*>(data), size, &image).ok()) {
    return D3DXERR_INVALIDDATA;
  }
  return device->create_texture_from_rgba(image.width, image.height, std::move(image.pixels),
                                          texture);
}

}  // namespace korvel::d3d9
