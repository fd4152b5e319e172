// Render benchmark: the demo's heaviest frame (1861 cubes: the central cube, the wobbling
// 9 x 9 x 9 lattice and a 1131-cube ring) drawn through the real per-cube DrawCube path, side by
// side with a reference that draws the same matrices in one instanced draw, at both build
// resolutions, each per-cube run once per upload strategy; then the same on a 64 x 64 target,
// where rasterisation no longer hides the submission cost.
//
// Run from the repository root (it loads resources/ like the demo). Without an X display it uses
// SDL's off-screen EGL driver. Every frame ends with a swap and glFinish, so llvmpipe cannot
// queue frames and report rates it never reached.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/window.h"
#include "demo/formations.h"
#include "demo/shape_table.h"
#include "render/gl/upload.h"
#include "render/render.h"

namespace tc {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRounds = 3;

// The reference: the cube shader's own pixel stage, and a vertex stage that takes the world
// matrix per instance from four vec4 attributes instead of the uniform block.
constexpr char kInstancedVertex[] = R"(#version 330 core
layout(std140) uniform c {
  mat4 projectionMatrix;
  mat4 worldMatrix;
};
layout(location = 0) in vec3 Pos;
layout(location = 1) in mat4 instanceWorld;
out vec2 TexCoord;
void main() {
  gl_Position = projectionMatrix * (instanceWorld * vec4(Pos, 1.0));
  TexCoord = vec2((Pos.x + Pos.z) * 2.0, (Pos.y + Pos.z) * 2.0);
}
)";
struct Bench {
  WindowHandle window = nullptr;
  RenderDevice device;
  SceneResources scene;
  ShaderProgram program;
  SceneConstants constants = {};
  std::vector<Mat4> worlds;
  GLuint instancedProgram = 0;
  GLuint instancedLayout = 0;
  GLuint instanceBuffer = 0;
};

bool Check(const StartupStatus& status) {
  if (!status.ok) std::fprintf(stderr, "render_bench: %s\n", status.message);
  return status.ok;
}

GLuint CompileReference(const ShaderProgram& demo) {
  const GLuint vs = glCreateShader(GL_VERTEX_SHADER);
  const char* vsText = kInstancedVertex;
  glShaderSource(vs, 1, &vsText, nullptr);
  glCompileShader(vs);
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, demo.pixelShader);
  glLinkProgram(program);
  glDetachShader(program, demo.pixelShader);
  glDeleteShader(vs);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) return 0;
  glUniformBlockBinding(program, glGetUniformBlockIndex(program, "c"), 0);
  return program;
}

// The world matrices of the heaviest frame, in draw order.
std::vector<Mat4> HeaviestFrame(SceneConstants& constants) {
  static ShapeTable table;
  BuildShapeTable(table);
  const FrameTiming timing =
      ComputeFrameTiming(100.0f);  // beat 166: lattice wobbling, ring spinning
  RingState ring;
  ring.nextShapeRow = 101;
  LoadNextShapeRow(ring, table);
  ring.instanceCount = 1131;
  MakeProjection(constants, 104.0f);  // a moderate field of view on this frame
  std::vector<Mat4> worlds;
  auto collect = [&worlds](const Mat4& world) { worlds.push_back(world); };
  EmitCentralCube(timing, collect);
  EmitLattice(timing, collect);
  EmitRing(ring, timing, collect);
  return worlds;
}

bool Open(Bench& bench, Resolution resolution) {
  if (!Check(CreatePresentationWindow(resolution, bench.window))) return false;
  if (!Check(CreateRenderDevice(bench.window, resolution, bench.device))) return false;
  ResourcePaths resources;
  SetResourceFolder(kWorkingDirectoryResources, resources);
  if (!Check(LoadSceneResources(bench.device, bench.constants, resources, bench.scene))) {
    return false;
  }
  if (!Check(BuildShaderProgram(bench.device, resolution, bench.program))) return false;
  bench.worlds = HeaviestFrame(bench.constants);
  bench.instancedProgram = CompileReference(bench.program);
  if (bench.instancedProgram == 0) {
    std::fprintf(stderr, "render_bench: the instanced reference shader failed to build\n");
    return false;
  }
  glGenBuffers(1, &bench.instanceBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, bench.instanceBuffer);
  glBufferData(GL_ARRAY_BUFFER, bench.worlds.size() * sizeof(Mat4), nullptr, GL_STREAM_DRAW);
  glGenVertexArrays(1, &bench.instancedLayout);
  glBindVertexArray(bench.instancedLayout);
  glBindBuffer(GL_ARRAY_BUFFER, bench.scene.vertexBuffer);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, bench.scene.vertexStride, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, bench.instanceBuffer);
  for (GLuint column = 0; column < 4; ++column) {
    glEnableVertexAttribArray(1 + column);
    glVertexAttribPointer(1 + column, 4, GL_FLOAT, GL_FALSE, sizeof(Mat4),
                          reinterpret_cast<const void*>(column * 4 * sizeof(float)));
    glVertexAttribDivisor(1 + column, 1);
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, bench.scene.indexBuffer);
  glBindVertexArray(0);
  return true;
}

void Close(Bench& bench) {
  glDeleteBuffers(1, &bench.instanceBuffer);
  glDeleteVertexArrays(1, &bench.instancedLayout);
  glDeleteProgram(bench.instancedProgram);
  ReleaseRenderObjects(bench.device, bench.scene, bench.program);
  ReleaseRenderDevice(bench.device);
  DestroyPresentationWindow(bench.window);
}

void EndFrame(Bench& bench) {
  PresentFrame(bench.device);
  glFinish();
}

template <UploadStrategy kStrategy>
void PerCubeFrame(Bench& bench) {
  ClearFrame(bench.device);
  for (const Mat4& world : bench.worlds) {
    DrawCubeWith<kStrategy>(bench.device, bench.scene, bench.program, bench.constants, world, 0);
  }
  EndFrame(bench);
}

void InstancedFrame(Bench& bench) {
  ClearFrame(bench.device);
  // The projection through the same uniform block, then every matrix in one upload.
  UploadConstants<kUploadStrategy>(bench.device, bench.scene, bench.constants);
  BindPipeline(bench.device, bench.scene, bench.program, 0);
  glUseProgram(bench.instancedProgram);
  glBindVertexArray(bench.instancedLayout);
  glBindBuffer(GL_ARRAY_BUFFER, bench.instanceBuffer);
  glBufferSubData(GL_ARRAY_BUFFER, 0, bench.worlds.size() * sizeof(Mat4), bench.worlds.data());
  glDrawElementsInstanced(GL_TRIANGLES, bench.scene.indexCount, bench.scene.indexType, nullptr,
                          static_cast<GLsizei>(bench.worlds.size()));
  EndFrame(bench);
}

// Seconds per frame of `frame`, the median of kRounds runs of about `seconds` each.
template <class Frame>
double SecondsPerFrame(Bench& bench, Frame frame, double seconds) {
  for (int i = 0; i < 3; ++i)
    frame(bench);  // warm up
  double rounds[kRounds];
  for (double& round : rounds) {
    int frames = 0;
    const auto start = Clock::now();
    double elapsed = 0.0;
    do {
      frame(bench);
      ++frames;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    round = elapsed / frames;
  }
  std::sort(rounds, rounds + kRounds);
  return rounds[kRounds / 2];
}

struct StrategyResult {
  UploadStrategy strategy;
  const char* name;
  double seconds;  // per frame
};

// Per-cube frames with each upload strategy, and the instanced reference, on one W x H target.
// Rounds alternate between them so drifting machine load hits all alike.
bool MeasureAt(Resolution resolution, double seconds, bool report) {
  Bench bench;
  if (!Open(bench, resolution)) return false;
  StrategyResult results[3] = {
      {UploadStrategy::kMapInvalidate, "glMapBufferRange + INVALIDATE_BUFFER", 0.0},
      {UploadStrategy::kOrphanSubData, "orphaning glBufferData + glBufferSubData", 0.0},
      {UploadStrategy::kSlotRing, "ring of slots + glBindBufferRange", 0.0}};
  double instanced = 0.0;
  const SceneConstants initial = bench.constants;
  for (int i = 0; i < 2; ++i) {
    AllocateConstantBuffer(bench.device, bench.scene, UploadStrategy::kMapInvalidate, initial);
    results[0].seconds +=
        SecondsPerFrame(bench, PerCubeFrame<UploadStrategy::kMapInvalidate>, seconds) / 2;
    AllocateConstantBuffer(bench.device, bench.scene, UploadStrategy::kOrphanSubData, initial);
    results[1].seconds +=
        SecondsPerFrame(bench, PerCubeFrame<UploadStrategy::kOrphanSubData>, seconds) / 2;
    AllocateConstantBuffer(bench.device, bench.scene, UploadStrategy::kSlotRing, initial);
    results[2].seconds +=
        SecondsPerFrame(bench, PerCubeFrame<UploadStrategy::kSlotRing>, seconds) / 2;
    AllocateConstantBuffer(bench.device, bench.scene, kUploadStrategy, initial);
    instanced += SecondsPerFrame(bench, InstancedFrame, seconds) / 2;
  }
  const double cubes = static_cast<double>(bench.worlds.size());
  std::printf("%dx%d, %zu cubes per frame, swap + glFinish per frame:\n", resolution.width,
              resolution.height, bench.worlds.size());
  double demo = 0.0;
  for (const StrategyResult& r : results) {
    const bool used = r.strategy == kUploadStrategy;
    if (used) demo = r.seconds;
    std::printf("  per-cube, %-42s %7.1f fps %7.2f ms %6.3f us/cube%s\n", r.name, 1.0 / r.seconds,
                1e3 * r.seconds, 1e6 * r.seconds / cubes, used ? "  <- DrawCube" : "");
  }
  std::printf("  %-52s %7.1f fps %7.2f ms %6.3f us/cube\n", "instanced reference, one draw",
              1.0 / instanced, 1e3 * instanced, 1e6 * instanced / cubes);
  if (report) {
    std::printf("  DrawCube per-cube fps / instanced fps: %.3f\n", instanced / demo);
  }
  std::fflush(stdout);
  Close(bench);
  return true;
}

}  // namespace
}  // namespace tc

int main(int argc, char** argv) {
  // Seconds per timed round; three rounds per measurement.
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  if (std::getenv("DISPLAY") == nullptr && std::getenv("SDL_VIDEODRIVER") == nullptr) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
  }
  bool ok = tc::MeasureAt({1920, 1080}, seconds, true);
  ok = ok && tc::MeasureAt({1280, 720}, seconds, true);
  ok = ok && tc::MeasureAt({64, 64}, seconds, false);
  return ok ? 0 : 1;
}
