// The matrix helpers of the transformed path, derived from the projections they stand for.
#include "graphics/matrix.h"

#include <cmath>

namespace gfx {

Matrix Matrix::Identity() {
  Matrix r;
  for (int i = 0; i < 4; ++i) r.m[i][i] = 1.0f;
  return r;
}

float Dot(const Vec3& a, const Vec3& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Normalize(const Vec3& v) {
  float len = std::sqrt(Dot(v, v));
  if (len == 0.0f) return v;
  return {v.x / len, v.y / len, v.z / len};
}

Vec4 TransformPoint(const Vec3& p, const Matrix& m) {
  Vec4 r;
  r.x = p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0];
  r.y = p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1];
  r.z = p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2];
  r.w = p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3];
  return r;
}

Vec3 TransformDirection(const Vec3& d, const Matrix& m) {
  return {d.x * m.m[0][0] + d.y * m.m[1][0] + d.z * m.m[2][0],
          d.x * m.m[0][1] + d.y * m.m[1][1] + d.z * m.m[2][1],
          d.x * m.m[0][2] + d.y * m.m[1][2] + d.z * m.m[2][2]};
}

Matrix D3DXMatrixMultiply(const Matrix& a, const Matrix& b) {
  Matrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
      r.m[i][j] = s;
    }
  return r;
}

Matrix D3DXMatrixTranslation(float x, float y, float z) {
  Matrix r = Matrix::Identity();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Matrix D3DXMatrixRotationY(float angle) {
  float c = std::cos(angle), s = std::sin(angle);
  Matrix r = Matrix::Identity();
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

namespace {

// The view whose axes are x, y, z (orthonormal) with the eye at the origin.
Matrix ViewFromAxes(const Vec3& x, const Vec3& y, const Vec3& z, const Vec3& eye) {
  Matrix r = Matrix::Identity();
  r.m[0][0] = x.x, r.m[0][1] = y.x, r.m[0][2] = z.x;
  r.m[1][0] = x.y, r.m[1][1] = y.y, r.m[1][2] = z.y;
  r.m[2][0] = x.z, r.m[2][1] = y.z, r.m[2][2] = z.z;
  r.m[3][0] = -Dot(x, eye);
  r.m[3][1] = -Dot(y, eye);
  r.m[3][2] = -Dot(z, eye);
  return r;
}

}  // namespace

Matrix D3DXMatrixLookAtRH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  // The camera looks down its −z axis, so z points from the target back to the eye.
  Vec3 z = Normalize({eye.x - at.x, eye.y - at.y, eye.z - at.z});
  Vec3 x = Normalize(Cross(up, z));
  return ViewFromAxes(x, Cross(z, x), z, eye);
}

Matrix D3DXMatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  Vec3 z = Normalize({at.x - eye.x, at.y - eye.y, at.z - eye.z});
  Vec3 x = Normalize(Cross(up, z));
  return ViewFromAxes(x, Cross(z, x), z, eye);
}

Matrix D3DXMatrixPerspectiveFovRH(float fov_y, float aspect, float z_near, float z_far) {
  // Clip w = −z (distance in front of the camera); depth z/w runs 0 at the near plane, 1 at far.
  float y_scale = 1.0f / std::tan(fov_y / 2);
  Matrix r;
  r.m[0][0] = y_scale / aspect;
  r.m[1][1] = y_scale;
  r.m[2][2] = z_far / (z_near - z_far);
  r.m[2][3] = -1.0f;
  r.m[3][2] = z_near * z_far / (z_near - z_far);
  return r;
}

Matrix D3DXMatrixOrthoRH(float width, float height, float z_near, float z_far) {
  Matrix r;
  r.m[0][0] = 2.0f / width;
  r.m[1][1] = 2.0f / height;
  r.m[2][2] = 1.0f / (z_near - z_far);
  r.m[3][2] = z_near / (z_near - z_far);
  r.m[3][3] = 1.0f;
  return r;
}

}  // namespace gfx
