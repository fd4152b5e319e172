// The null shader program: nothing to compile. Twins: render/gl/shader.cpp,
// render/d3d11/shader.cpp.
#include "render/null/script.h"
#include "render/render.h"

namespace tc {

StartupStatus BuildShaderProgram(RenderDevice& /*device*/, ShaderProgram& program) {
  program = ShaderProgram{};
  if (NullStepFails("BuildShaderProgram")) {
    return StartupFailure("BuildShaderProgram: failed as TC_NULL_FAIL asked");
  }
  program.built = true;
  NullLog("BuildShaderProgram");
  return StartupOk();
}

void ReleaseShaderProgram(ShaderProgram& program) {
  if (program.built) NullLog("ReleaseShaderProgram");
  program = ShaderProgram{};
}

}  // namespace tc
