// The polygon clipper the vertex stage and the rasteriser share: a convex polygon is cut against
// one plane after another (Sutherland–Hodgman), each cut vertex interpolated between the two it
// lies between. Vertices are plain structs of floats (position, colour, texture position), and
// every member is interpolated alike.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace gfx {

// a + (b − a) × t, member by member, for a struct made only of floats.
template <class Vertex>
Vertex LerpVertex(const Vertex& a, const Vertex& b, float t) {
  static_assert(std::is_trivially_copyable_v<Vertex> && sizeof(Vertex) % sizeof(float) == 0,
                "a vertex is a struct of floats");
  constexpr size_t kFloats = sizeof(Vertex) / sizeof(float);
  float fa[kFloats], fb[kFloats];
  std::memcpy(fa, &a, sizeof a);
  std::memcpy(fb, &b, sizeof b);
  for (size_t i = 0; i < kFloats; ++i) fa[i] = fa[i] + (fb[i] - fa[i]) * t;
  Vertex r;
  std::memcpy(&r, fa, sizeof r);
  return r;
}

// Clips the polygon of `n` vertices in poly[0] against planes 0 to planes − 1, where a vertex is
// inside plane k when distance(vertex, k) ≥ 0; each plane adds at most one vertex, so
// Max ≥ n + planes. Returns the vertex count left (below 3: nothing to draw) and sets `which` to
// the row of `poly` that holds them.
template <class Vertex, size_t Max, class Distance>
int ClipPolygon(Vertex (&poly)[2][Max], int n, int planes, Distance distance, int& which) {
  int cur = 0;
  for (int plane = 0; plane < planes && n >= 3; ++plane) {
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const Vertex& p = poly[cur][i];
      const Vertex& q = poly[cur][(i + 1) % n];
      const float dp = distance(p, plane), dq = distance(q, plane);
      if (dp >= 0) poly[1 - cur][m++] = p;
      if ((dp >= 0) != (dq >= 0)) poly[1 - cur][m++] = LerpVertex(p, q, dp / (dp - dq));
    }
    n = m;
    cur = 1 - cur;
  }
  which = cur;
  return n;
}

}  // namespace gfx
