// The records OpenGL 3.3 core and WebGL 2 share: the scene's objects, the shader program and the
// read-back copies have the same names and types on both. Included by records.h and
// records_webgl.h once each has included its own GL header.
#pragma once

#include <cstdint>

#include "assets/mesh.h"
#include "base/resource_paths.h"

namespace tc {

// The viewport as Direct3D 11 states it: the picture's rectangle in the drawable, and the depth
// range (0..1, exact as a float for both APIs' calls).
struct ViewportState {
  GLint x = 0;
  GLint y = 0;
  GLsizei width = 0;
  GLsizei height = 0;
  float minDepth = 0.0f;
  float maxDepth = 1.0f;
};

struct SceneResources {
  MeshData mesh;  // the cgltf document stays alive in here until shutdown
  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
  GLuint textures[kTextureFileCount] = {};
  GLuint constantBuffer = 0;  // 128 bytes, stream storage, replaced before every draw
  // Derived from the mesh once at load; they never change during the run.
  GLsizei vertexStride = 0;
  GLenum indexType = GL_UNSIGNED_SHORT;
  GLsizei indexCount = 0;
};

struct ShaderProgram {
  GLuint vertexShader = 0;
  GLuint pixelShader = 0;
  GLuint program = 0;      // both stages linked
  GLuint inputLayout = 0;  // vertex array object: attribute 0 = three floats
};

// Desktop GL only: a page's tests read the canvas through the browser.
struct FrameReadback {
  static constexpr int kDepth = 3;
  GLuint buffers[kDepth] = {};  // pixel-pack buffers, one whole back buffer each
  int width = 0;
  int height = 0;
  bool created = false;
  int64_t issued = 0;     // frames whose copy has been started
  int64_t collected = 0;  // frames handed over
};

}  // namespace tc
