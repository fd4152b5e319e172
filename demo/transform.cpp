#include "demo/transform.h"

#include <math.h>

namespace tc {

void SetIdentity(Mat4& m) {
  for (float& e : m.m)
    e = 0.0f;
  m.m[0] = 1.0f;
  m.m[5] = 1.0f;
  m.m[10] = 1.0f;
  m.m[15] = 1.0f;
}

void Multiply(Mat4& dst, const Mat4& a, const Mat4& b) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      // Left to right, each product and sum rounded to float: the order is part of the result.
      float sum = a.m[4 * i + 0] * b.m[0 + j];
      sum = sum + a.m[4 * i + 1] * b.m[4 + j];
      sum = sum + a.m[4 * i + 2] * b.m[8 + j];
      sum = sum + a.m[4 * i + 3] * b.m[12 + j];
      dst.m[4 * i + j] = sum;
    }
  }
}

namespace {

void PostMultiply(Mat4& m, const Mat4& r) {
  const Mat4 copy = m;
  Multiply(m, copy, r);
}

}  // namespace

void RotateX(Mat4& m, float angle) {
  const float c = cosf(angle);
  const float s = sinf(angle);
  const Mat4 r = {{1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1}};
  PostMultiply(m, r);
}

void RotateY(Mat4& m, float angle) {
  const float c = cosf(angle);
  const float s = sinf(angle);
  const Mat4 r = {{c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}};
  PostMultiply(m, r);
}

void RotateZ(Mat4& m, float angle) {
  const float c = cosf(angle);
  const float s = sinf(angle);
  const Mat4 r = {{c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
  PostMultiply(m, r);
}

void Translate(Mat4& m, float x, float y, float z) {
  const Mat4 t = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}};
  PostMultiply(m, t);
}

void CubeWorldMatrix(Mat4& out, float angleY, float angleX, float angleZ, float x, float y,
                     float z) {
  SetIdentity(out);
  RotateY(out, angleY);
  RotateX(out, angleX);
  RotateZ(out, angleZ);
  Translate(out, x, y, z);
}

void MakeProjection(Mat4& projection, float songSeconds) {
  // The field-of-view angle is formed in doubles from the widened song time and the widened
  // float constant 3.1415f, then rounded once; everything after it is single precision.
  const double wide =
      static_cast<double>(songSeconds) * 0.01 * 10.25 * static_cast<double>(3.1415f);
  const float a = static_cast<float>(wide);
  const float h = a * 0.5f;
  const float ys = 1.0f / tanf(h);
  const float xs = ys / 1.7777778f;
  projection = {{xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, -1.0f, -1.0f, 0, 0, -0.02f, 0}};
}

}  // namespace tc
