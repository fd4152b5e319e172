// The CPU image of the vertex stage's constant buffer: both matrices as stored, uploaded byte for
// byte before every draw (the shaders read them so that the two transpositions cancel).
#pragma once

#include "demo/transform.h"

namespace tc {

struct SceneConstants {
  Mat4 projectionMatrix;
  Mat4 worldMatrix;
};
static_assert(sizeof(SceneConstants) == 128, "SceneConstants must be exactly 128 bytes");

}  // namespace tc
