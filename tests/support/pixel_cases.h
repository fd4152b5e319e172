// One table of pixel cases for both backends: small scenes drawn through the real render verbs
// (render/render.h) on an open drawing stack and read back from the back buffer before
// presentation. The OpenGL tests (tests/render/gl, GoogleTest) and the Direct3D 11 tests under Wine
// (tests/windows, their own runner) run the same cases, so the two backends are held to the same
// facts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "render/stack.h"

namespace tc::test {

// What a case draws with, and what it found wrong. The stack is open on a window of the size
// under test; each case loads the scenes it draws from files it writes itself.
struct PixelRig {
  DrawingStack& stack;
  Resolution resolution;  // the window's, which the back buffer must have
  std::vector<std::string> failures;
};

struct PixelCase {
  const char* id;    // a name for test frameworks: letters only
  const char* what;  // the fact it checks, in words
  void (*run)(PixelRig& rig);
};

extern const PixelCase kPixelCases[];
extern const size_t kPixelCaseCount;

// Writes `folder`/resources with a unit cube (corners at +-0.5) and three solid grey textures,
// enough for OpenDrawingStack to open; false when a file could not be written.
bool WriteStandInScene(const std::string& folder);

}  // namespace tc::test
