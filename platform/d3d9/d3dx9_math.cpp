#include "platform/d3d9/d3dx9_math.h"

#include <cmath>

namespace korvel::d3d9 {
namespace {

D3DXMATRIX identity() {
  D3DXMATRIX matrix{};
  for (int i = 0; i < 4; ++i) matrix.m[i][i] = 1.0f;
  return matrix;
}

D3DXVECTOR3 subtract(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DXVECTOR3 cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// A zero vector stays zero, as D3DXVec3Normalize leaves it.
D3DXVECTOR3 normalize(const D3DXVECTOR3& v) {
  const float length = std::sqrt(dot(v, v));
  if (length == 0.0f) return {0.0f, 0.0f, 0.0f};
  return {v.x / length, v.y / length, v.z / length};
}

}  // namespace

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz) {
  *out = identity();
  out->m[0][0] = sx;
  out->m[1][1] = sy;
  out->m[2][2] = sz;
  return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle) {
  *out = identity();
  out->m[0][0] = std::cos(angle);
  out->m[0][2] = -std::sin(angle);
  out->m[2][0] = std::sin(angle);
  out->m[2][2] = std::cos(angle);
  return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z) {
  *out = identity();
  out->m[3][0] = x;
  out->m[3][1] = y;
  out->m[3][2] = z;
  return out;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
  D3DXMATRIX product{};
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      product.m[row][column] = m1->m[row][0] * m2->m[0][column] + m1->m[row][1] * m2->m[1][column] +
                               m1->m[row][2] * m2->m[2][column] + m1->m[row][3] * m2->m[3][column];
    }
  }
  *out = product;
  return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
  const D3DXVECTOR3 z_axis = normalize(subtract(*at, *eye));
  const D3DXVECTOR3 x_axis = normalize(cross(*up, z_axis));
  const D3DXVECTOR3 y_axis = cross(z_axis, x_axis);
  *out = identity();
  const D3DXVECTOR3 axes[3] = {x_axis, y_axis, z_axis};
  for (int column = 0; column < 3; ++column) {
    out->m[0][column] = axes[column].x;
    out->m[1][column] = axes[column].y;
    out->m[2][column] = axes[column].z;
    out->m[3][column] = -dot(axes[column], *eye);
  }
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fov_y, float aspect, float near_z,
                                       float far_z) {
  const float y_scale = 1.0f / std::tan(fov_y / 2.0f);
  *out = D3DXMATRIX{};
  out->m[0][0] = y_scale / aspect;
  out->m[1][1] = y_scale;
  out->m[2][2] = far_z / (far_z - near_z);
  out->m[2][3] = 1.0f;
  out->m[3][2] = -near_z * far_z / (far_z - near_z);
  return out;
}

}  // namespace korvel::d3d9
