// The formations: each builds one world matrix per cube and hands it to a sink, which draws it
// before the next matrix is built. Sinks are any callable taking `const Mat4&`; the emitters are
// templates so the per-cube call inlines into the frame loop and nothing is allocated.
#pragma once

#include <math.h>

#include <cstdint>

#include "demo/ring.h"
#include "demo/timeline.h"
#include "demo/transform.h"

namespace tc {

constexpr float kGridSpacing = 2.5f;

template <class Sink>
void EmitCentralCube(const FrameTiming& timing, Sink&& sink) {
  Mat4 world;
  CubeWorldMatrix(world, timing.songSeconds, timing.jitterSeconds, timing.jitterSeconds, 0.0f, 0.0f,
                  -5.0f);
  sink(static_cast<const Mat4&>(world));
}

// 9 x 9 cubes in the plane z = -15, bottom row first, each row left to right.
template <class Sink>
void EmitWall(const FrameTiming& timing, Sink&& sink) {
  Mat4 world;
  for (int i = -4; i <= 4; ++i) {
    for (int k = -4; k <= 4; ++k) {
      const float x = static_cast<float>(k) * kGridSpacing;
      const float y = static_cast<float>(i) * kGridSpacing;
      CubeWorldMatrix(world, timing.songSeconds, timing.jitterSeconds, timing.jitterSeconds, x, y,
                      -15.0f);
      sink(static_cast<const Mat4&>(world));
    }
  }
}

// 9 x 9 x 9 cubes around the camera, far layer first; from beat 162 each cube spins at a rate of
// its own.
template <class Sink>
void EmitLattice(const FrameTiming& timing, Sink&& sink) {
  const bool wobble = LatticeWobble(timing.beat);
  const double j = static_cast<double>(timing.jitterSeconds);
  Mat4 world;
  for (int a = 0; a <= 8; ++a) {
    const float z = static_cast<float>(a - 4) * kGridSpacing;
    const float angleZWobble = static_cast<float>((sin(static_cast<double>(a)) + a) * j);
    for (int b = 0; b <= 8; ++b) {
      const float y = static_cast<float>(b - 4) * kGridSpacing;
      for (int c = 0; c <= 8; ++c) {
        const float x = static_cast<float>(c - 4) * kGridSpacing;
        float angleY = timing.songSeconds;
        float angleX = timing.jitterSeconds;
        float angleZ = timing.jitterSeconds;
        if (wobble) {
          angleY = static_cast<float>(c) * timing.songSeconds;
          angleX = static_cast<float>((cos(static_cast<double>(c)) + b) * j);
          angleZ = angleZWobble;
        }
        CubeWorldMatrix(world, angleY, angleX, angleZ, x, y, z);
        sink(static_cast<const Mat4&>(world));
      }
    }
  }
}

// Drifts the shape (even when no cube is drawn), then emits the ring's cubes in index order.
template <class Sink>
void EmitRing(RingState& ring, const FrameTiming& timing, Sink&& sink) {
  DriftRingShape(ring);
  Mat4 world;
  for (int32_t i = 0; i < ring.instanceCount; ++i) {
    RingCubeMatrix(world, ring.shape, timing, i);
    sink(static_cast<const Mat4&>(world));
  }
}

}  // namespace tc
