// Vectors and 4 × 4 matrices for the transformed drawing path, in the row-vector convention the
// game's matrices use (a point p becomes p × M), with the matrix helpers the game calls by name.
#pragma once

namespace gfx {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

struct Vec4 {
  float x = 0, y = 0, z = 0, w = 0;
};

struct Matrix {
  float m[4][4] = {};
  static Matrix Identity();
};

Vec3 Normalize(const Vec3& v);
float Dot(const Vec3& a, const Vec3& b);
Vec3 Cross(const Vec3& a, const Vec3& b);
// (x, y, z, 1) × m.
Vec4 TransformPoint(const Vec3& p, const Matrix& m);
// (x, y, z, 0) × m: directions and normals.
Vec3 TransformDirection(const Vec3& d, const Matrix& m);

// a × b: first a, then b.
Matrix D3DXMatrixMultiply(const Matrix& a, const Matrix& b);
Matrix D3DXMatrixTranslation(float x, float y, float z);
// Turns by `angle` radians about the y axis, z towards x.
Matrix D3DXMatrixRotationY(float angle);
// Views looking from eye towards at; the right-handed view looks down −z, the left-handed +z.
Matrix D3DXMatrixLookAtRH(const Vec3& eye, const Vec3& at, const Vec3& up);
Matrix D3DXMatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
// Right-handed projections mapping the near plane to depth 0 and the far plane to depth 1.
Matrix D3DXMatrixPerspectiveFovRH(float fov_y, float aspect, float z_near, float z_far);
Matrix D3DXMatrixOrthoRH(float width, float height, float z_near, float z_far);

}  // namespace gfx
