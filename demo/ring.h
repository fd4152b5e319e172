// The superformula ring: from beat 65 on, a growing chain of cubes laid along a Gielis curve whose
// parameters jump to the next table row on every beat and drift a little on every frame.
#pragma once

#include <cstdint>

#include "demo/shape_table.h"
#include "demo/transform.h"

namespace tc {

struct FrameTiming;

struct RingState {
  // Start values; never drawn, since the first ring frame always loads row 0 first.
  ShapeParams shape = {1.56f, 1.06f, 1.42f, 1.7f, 4.6f, 1.02f, 3.0f, 4.13f};
  int32_t instanceCount = 1;
  int32_t nextShapeRow = 0;
};

struct Point2 {
  float x;
  float y;
};

// Takes the next row and grows the ring by five cubes. Past the table's last row the last row is
// loaded again, so a run that outlives the score never reads beyond it.
void LoadNextShapeRow(RingState& ring, const ShapeTable& table);

// The curve point at polar angle phi: r * (cos phi, sin phi) with r = S^(-1/outerExponent).
Point2 SuperformulaPoint(const ShapeParams& shape, float phi);

// Applies one frame's drift to the ring's shape.
void DriftRingShape(RingState& ring);

// World matrix of ring cube `index` for this frame's timing and the ring's current shape.
void RingCubeMatrix(Mat4& out, const ShapeParams& shape, const FrameTiming& timing, int32_t index);

}  // namespace tc
