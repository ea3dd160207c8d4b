// The D3DX matrix helpers the viewer builds its scene with: left-handed, row
// vectors (a point is transformed as p * M), exactly as D3DX defines them.
// Each returns its output.
#pragma once

#include "platform/d3d9/d3d9_types.h"

namespace korvel::d3d9 {

using D3DXMATRIX = D3DMATRIX;
using D3DXVECTOR3 = D3DVECTOR;

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
// out = m1 * m2; out may be either input.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fov_y, float aspect, float near_z,
                                       float far_z);

}  // namespace korvel::d3d9
