// The cube shader program: both stages compiled at start-up from the text the program carries,
// linked into one program object, and the vertex array object that stands in for the input
// layout. Twin: render/d3d11/shader.cpp.
#include "render/gl/cube_shader.h"
#include "render/render.h"

namespace tc {
namespace {

// Compiles one stage; on failure the driver's own log becomes the start-up failure's line.
StartupStatus CompileStage(GLenum type, const char* stageName, const char* body, bool remapDepth,
                           GLuint& shader) {
  shader = glCreateShader(type);
  const char* parts[] = {kCubeShaderVersionLine, remapDepth ? kCubeShaderRemapDepthLine : "", body};
  glShaderSource(shader, 3, parts, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled != GL_TRUE) {
    char log[400] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    return StartupFailure("BuildShaderProgram: built-in %s stage failed to compile: %s", stageName,
                          log);
  }
  return StartupOk();
}

}  // namespace

StartupStatus BuildShaderProgram(RenderDevice& device, ShaderProgram& program) {
  program = ShaderProgram{};
  StartupStatus status = CompileStage(GL_VERTEX_SHADER, "vertex", kCubeVertexStage,
                                      !device.clipControl, program.vertexShader);
  if (!status.ok) return status;
  status = CompileStage(GL_FRAGMENT_SHADER, "pixel", kCubePixelStage, false, program.pixelShader);
  if (!status.ok) return status;

  program.program = glCreateProgram();
  glAttachShader(program.program, program.vertexShader);
  glAttachShader(program.program, program.pixelShader);
  glLinkProgram(program.program);
  GLint linked = GL_FALSE;
  glGetProgramiv(program.program, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    char log[400] = {};
    glGetProgramInfoLog(program.program, sizeof log, nullptr, log);
    return StartupFailure("BuildShaderProgram: built-in shader failed to link: %s", log);
  }
  // GLSL 330 has no layout(binding = ...) for blocks: bind `c` to binding point 0 here.
  const GLuint block = glGetUniformBlockIndex(program.program, "c");
  if (block == GL_INVALID_INDEX) {
    return StartupFailure("BuildShaderProgram: built-in shader has no uniform block c");
  }
  glUniformBlockBinding(program.program, block, 0);

  // Attribute 0 takes three floats per vertex; its buffer and stride are attached when the
  // pipeline is bound, at each frame's first draw.
  glGenVertexArrays(1, &program.inputLayout);
  glBindVertexArray(program.inputLayout);
  glEnableVertexAttribArray(0);
  glBindVertexArray(0);
  return StartupOk();
}

void ReleaseShaderProgram(ShaderProgram& program) {
  // Only names that were made: a record that never met a context calls no GL function.
  if (program.program != 0) glDeleteProgram(program.program);
  if (program.pixelShader != 0) glDeleteShader(program.pixelShader);
  if (program.vertexShader != 0) glDeleteShader(program.vertexShader);
  if (program.inputLayout != 0) glDeleteVertexArrays(1, &program.inputLayout);
  program = ShaderProgram{};
}

}  // namespace tc
