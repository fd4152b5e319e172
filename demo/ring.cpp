#include "demo/ring.h"

#include <math.h>

#include "demo/timeline.h"

namespace tc {

void LoadNextShapeRow(RingState& ring, const ShapeTable& table) {
  int32_t row = ring.nextShapeRow;
  if (row >= kShapeTableRows) row = kShapeTableRows - 1;
  ring.nextShapeRow = ring.nextShapeRow + 1;
  ring.instanceCount = ring.instanceCount + 5;
  ring.shape = table.rows[row];
}

Point2 SuperformulaPoint(const ShapeParams& shape, float phi) {
  const float u = (phi * shape.symmetry) * 0.25f;
  const float a = powf(fabsf(sinf(u) / shape.sinDivisor), shape.sinExponent);
  const float b = powf(fabsf(cosf(u) / shape.cosDivisor), shape.cosExponent);
  const float s = a + b;
  const float inverseExponent = 1.0f / shape.outerExponent;
  const float r = powf(s, inverseExponent);
  if (fabsf(r) == 0.0f) return {0.0f, 0.0f};
  const float k = 1.0f / r;
  const float y = sinf(phi) * k;
  const float x = cosf(phi) * k;
  return {x, y};
}

void DriftRingShape(RingState& ring) {
  ring.shape.cosDivisor = ring.shape.cosDivisor + 0.010125f;
  ring.shape.sinDivisor = ring.shape.sinDivisor + 0.00155f;
  ring.shape.sinExponent = ring.shape.sinExponent + 0.015f;
}

void RingCubeMatrix(Mat4& out, const ShapeParams& shape, const FrameTiming& timing, int32_t index) {
  const float fi = static_cast<float>(index);
  float angleY = timing.songSeconds;
  float angleX = timing.jitterSeconds;
  float angleZ = timing.jitterSeconds;
  if (RingWobble(timing.beat)) {
    const double d = static_cast<double>(index);
    const double j = static_cast<double>(timing.jitterSeconds);
    angleZ = static_cast<float>((sin(d) + d) * j);
    angleX = static_cast<float>((cos(d) + d) * j);
    angleY = fi * timing.songSeconds;
  }
  const float phi = (fi * shape.stepNumerator) / shape.stepDenominator;
  const Point2 p = SuperformulaPoint(shape, phi);
  CubeWorldMatrix(out, angleY, angleX, angleZ, p.x, p.y, -15.0f);
}

}  // namespace tc
