// D3DX's texture loader for the model's textures: a DDS file in memory
// becomes a texture of its first level.
#pragma once

#include "platform/d3d9/d3d9.h"

namespace korvel::d3d9 {

// D3DXERR_INVALIDDATA for a file the DDS decoder does not read;
// D3DERR_INVALIDCALL for a null device, data or output.
HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice9* device, const void* data, UINT size,
                                          IDirect3DTexture9** texture);

}  // namespace korvel::d3d9
