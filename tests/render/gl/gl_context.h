// A real window, OpenGL context and shader program for tests that look at pixels: the demo's own
// drawing stack, opened on the repository's resources; the tests load the scenes they draw from
// scratch folders holding the files they made.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/stack.h"

namespace tc::test {

struct Rgba {
  uint8_t r, g, b, a;
};

class GlContext {
 public:
  // False, with the stack's one-line failure, when there is no X display or no resources folder.
  bool Open(Resolution resolution, std::string* error);
  void Close();
  // Loads the scene from `folder`/resources (the demo reads relative to the working directory).
  bool LoadScene(const std::string& folder, SceneResources& scene, std::string* error);
  void ReleaseScene(SceneResources& scene);

  // The back buffer, read before any swap; row 0 is the top row.
  std::vector<Rgba> ReadBackBuffer();
  Rgba Pixel(const std::vector<Rgba>& pixels, int x, int yFromTop) const;
  // Writes the pixels top row first.
  bool SavePng(const std::vector<Rgba>& pixels, const std::string& path) const;

  Resolution resolution{0, 0};
  DrawingStack stack;
};

inline bool IsLit(const Rgba& p) {
  return p.r != 0 || p.g != 0 || p.b != 0;
}

}  // namespace tc::test
