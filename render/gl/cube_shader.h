// The cube shader's GLSL 330 core (or 300 es) text, carried by the program and compiled by the
// driver at start-up. Twin: render/d3d11/cube_shader.h.
//
// The vertex stage reads the 128-byte std140 block `c` exactly as uploaded: GLSL takes each
// stored row-major Mat4 as column-major and multiplies `M * v`, and those two transpositions
// cancel, so a position p ends up as p * world * projection, the demo's row-vector convention.
//
// The pixel stage's four parameters are plain uniforms without initialisers that nothing sets, so
// they read as zero, as the Direct3D twin's do (docs/how-it-runs.md, "Kept on purpose"): no glow,
// no offset samples, and the output (9.2 r, 8.8 g, 9 b, 9 a) / 3 of the texel, clamped by the
// 8-bit target.
#pragma once

namespace tc {

#if defined(__EMSCRIPTEN__)
// WebGL 2: the same text as OpenGL ES 3.0 shading language, every stage at full float precision.
constexpr char kCubeShaderVersionLine[] =
    "#version 300 es\nprecision highp float;\nprecision highp sampler2D;\n";
#else
constexpr char kCubeShaderVersionLine[] = "#version 330 core\n";
#endif
// Contexts without glClipControl clip z to -w..w: the vertex stage moves the demo's 0..w there.
constexpr char kCubeShaderRemapDepthLine[] = "#define REMAP_DEPTH_TO_MINUS_ONE_ONE 1\n";

constexpr char kCubeVertexStage[] = R"(
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

constexpr char kCubePixelStage[] = R"(
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

}  // namespace tc
