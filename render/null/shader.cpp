// The null shader program: nothing to compile. Twins: render/gl/shader.cpp,
// render/d3d11/shader.cpp.
#include "render/null/script.h"
#include "render/render.h"

namespace tc {

StartupStatus BuildShaderProgram(RenderDevice& /*device*/, ShaderProgram& program) {
  program = ShaderProgram{};
  const StartupStatus status = NullStep("BuildShaderProgram");
  program.built = status.ok;
  return status;
}

void ReleaseShaderProgram(ShaderProgram& program) {
  if (program.built) NullLog("ReleaseShaderProgram");
  program = ShaderProgram{};
}

}  // namespace tc
