// Matrix math of the choreography: row-vector 4x4 matrices (p' = p * M, translation in elements
// 12..14), the per-cube world matrix and the song-driven projection. Every step rounds to 32-bit
// floats in the order written; the product and rotations are the only matrix operations.
#pragma once

namespace tc {

struct Mat4 {
  float m[16];  // row by row: element (i, j) at 4 * i + j
};

static_assert(sizeof(Mat4) == 64, "Mat4 must be sixteen packed floats");

void SetIdentity(Mat4& m);
// dst = a * b; dst must be neither a nor b.
void Multiply(Mat4& dst, const Mat4& a, const Mat4& b);
// m = m * R(angle): the new turn acts after everything already in m.
void RotateX(Mat4& m, float angle);
void RotateY(Mat4& m, float angle);
void RotateZ(Mat4& m, float angle);
// m = m * T(x, y, z), as a full product (so infinite or NaN offsets spread as they would).
void Translate(Mat4& m, float x, float y, float z);

// Identity, turn about y, then x, then z, then move to (x, y, z).
void CubeWorldMatrix(Mat4& out, float angleY, float angleX, float angleZ, float x, float y,
                     float z);

// Rewrites the whole of `projection` for the song position `songSeconds`.
void MakeProjection(Mat4& projection, float songSeconds);

}  // namespace tc
