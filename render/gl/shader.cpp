// The cube shader in GLSL 330 core, carried as text and compiled by the driver at start-up.
//
// The vertex stage reads the 128-byte std140 block `c` exactly as uploaded: GLSL takes each
// stored row-major Mat4 as column-major and multiplies `M * v`, and those two transpositions
// cancel, so a position p ends up as p * world * projection, the demo's row-vector convention.
//
// The pixel stage keeps the four parameters as plain uniforms without initialisers. Nothing ever
// sets them, so they read as zero, which is what the Direct3D 11 runtime makes of their HLSL
// initialisers too: no glow, no offset samples (the texel is sampled once), and the output
// (9.2 * t.r / 3, 8.8 * t.g / 3, 9 * t.b / 3, 9 * t.a / 3), clamped by the 8-bit target.
#include "render/render.h"

namespace tc {
namespace {

constexpr char kVersionLine[] = "#version 330 core\n";
// Contexts without glClipControl clip z to -w..w: move the demo's 0..w there.
constexpr char kRemapDepthLine[] = "#define REMAP_DEPTH_TO_MINUS_ONE_ONE 1\n";

constexpr char kVertexStage[] = R"(
layout(std140) uniform c {
  mat4 projectionMatrix;
  mat4 worldMatrix;
};

layout(location = 0) in vec3 Pos;
out vec2 TexCoord;

void main() {
  vec4 q = vec4(Pos, 1.0);
  q = worldMatrix * q;
  q = projectionMatrix * q;
#ifdef REMAP_DEPTH_TO_MINUS_ONE_ONE
  q.z = 2.0 * q.z - q.w;
#endif
  gl_Position = q;
  // The mesh's own texture coordinates are not used; the sampler clamps what leaves 0..1.
  TexCoord = vec2((Pos.x + Pos.z) * 2.0, (Pos.y + Pos.z) * 2.0);
}
)";

constexpr char kPixelStage[] = R"(
uniform sampler2D tex;
uniform float glowThreshold;
uniform float glowStrength;
uniform vec2 texelSize;     // read as zero: no offset samples
uniform float blurStrength; // read as zero: no offset samples

in vec2 TexCoord;
out vec4 outColor;

void main() {
  vec4 t = texture(tex, TexCoord);
  vec4 c = t;
  float g = max(c.r, max(c.g, c.b));
  if (g > glowThreshold) {
    c.rgb += glowStrength * (c.rgb - 0.5);
  }
  c = vec4(c.r * 1.2, c.g * 0.8, c.b * 1.0, c.a);
  // The spread adds eight samples at offsets texelSize * blurStrength, which is zero: each of
  // them is the centre texel t, so the texel is sampled once and counted eight more times.
  vec4 s = c + 8.0 * t;
  // Nine terms divided by three, not nine: the over-exposed look of the demo.
  outColor = s / 3.0;
}
)";

StartupStatus CompileStage(GLenum type, const char* stageName, const char* body, bool remapDepth,
                           GLuint& shader) {
  shader = glCreateShader(type);
  const char* parts[] = {kVersionLine, remapDepth ? kRemapDepthLine : "", body};
  glShaderSource(shader, 3, parts, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled != GL_TRUE) {
    char log[400] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    return StartupFailure(1, "BuildShaderProgram: built-in %s stage failed to compile: %s",
                          stageName, log);
  }
  return StartupOk();
}

}  // namespace

// The resolution would only enter the text through texelSize's initialiser, which this source
// deliberately does not have; both builds compile the same text.
StartupStatus BuildShaderProgram(RenderDevice& device, Resolution /*resolution*/,
                                 ShaderProgram& program) {
  StartupStatus status = CompileStage(GL_VERTEX_SHADER, "vertex", kVertexStage, !device.clipControl,
                                      program.vertexShader);
  if (!status.ok) return status;
  status = CompileStage(GL_FRAGMENT_SHADER, "pixel", kPixelStage, false, program.pixelShader);
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
    return StartupFailure(1, "BuildShaderProgram: built-in shader failed to link: %s", log);
  }
  // GLSL 330 has no layout(binding = ...) for blocks: bind `c` to binding point 0 here.
  const GLuint block = glGetUniformBlockIndex(program.program, "c");
  if (block == GL_INVALID_INDEX) {
    return StartupFailure(1, "BuildShaderProgram: built-in shader has no uniform block c");
  }
  glUniformBlockBinding(program.program, block, 0);

  // The input layout: attribute 0 takes three floats per vertex. Its buffer and stride are
  // attached when the pipeline is bound (BindPipeline).
  glGenVertexArrays(1, &program.inputLayout);
  glBindVertexArray(program.inputLayout);
  glEnableVertexAttribArray(0);
  glBindVertexArray(0);
  return StartupOk();
}

}  // namespace tc
