// Render benchmark: the demo's heaviest frame (1861 cubes: the central cube, the wobbling
// 9 x 9 x 9 lattice and a 1131-cube ring) drawn through the real per-cube DrawCube path, side by
// side with a reference that draws the same matrices in one instanced draw, at both build
// resolutions; then the per-cube draws once per upload strategy (upload_strategies.h), all on one
// target size, and the same on a 64 x 64 target, where rasterisation no longer hides the
// submission cost. The demo's own DrawCube binds the pipeline at each frame's first cube; the
// strategies then replace only the upload of the cubes after it.
//
// Run from the repository root (it loads resources/ like the demo). Without an X display it uses
// SDL's off-screen EGL driver. Every frame ends with a swap and glFinish, so llvmpipe cannot
// queue frames and report rates it never reached.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench/upload_strategies.h"
#include "demo/formations.h"
#include "demo/shape_table.h"
#include "render/stack.h"

namespace tc {
namespace {

using bench::UploadStrategy;

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
  DrawingStack stack;
  std::vector<Mat4> worlds;
  GLuint instancedProgram = 0;
  GLuint instancedLayout = 0;
  GLuint instanceBuffer = 0;
  bench::ConstantRing ring;
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
  MakeProjection(constants.projectionMatrix, 104.0f);  // a moderate field of view on this frame
  std::vector<Mat4> worlds;
  auto collect = [&worlds](const Mat4& world) { worlds.push_back(world); };
  EmitCentralCube(timing, collect);
  EmitLattice(timing, collect);
  EmitRing(ring, timing, collect);
  return worlds;
}

bool Open(Bench& bench, Resolution resolution) {
  ResourcePaths resources;
  SetResourceFolder(kWorkingDirectoryResources, resources);
  StackOptions options;
  options.resolution = resolution;
  // Without a display the benchmark still runs, on SDL's off-screen driver.
  options.placement.offscreen =
      std::getenv("DISPLAY") == nullptr && std::getenv("SDL_VIDEODRIVER") == nullptr;
  if (!Check(OpenDrawingStack(options, resources, bench.stack))) return false;
  bench.worlds = HeaviestFrame(bench.stack.constants);
  bench.instancedProgram = CompileReference(bench.stack.program);
  if (bench.instancedProgram == 0) {
    std::fprintf(stderr, "render_bench: the instanced reference shader failed to build\n");
    return false;
  }
  glGenBuffers(1, &bench.instanceBuffer);
  glBindBuffer(GL_ARRAY_BUFFER, bench.instanceBuffer);
  glBufferData(GL_ARRAY_BUFFER, bench.worlds.size() * sizeof(Mat4), nullptr, GL_STREAM_DRAW);
  glGenVertexArrays(1, &bench.instancedLayout);
  glBindVertexArray(bench.instancedLayout);
  glBindBuffer(GL_ARRAY_BUFFER, bench.stack.scene.vertexBuffer);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, bench.stack.scene.vertexStride, nullptr);
  glBindBuffer(GL_ARRAY_BUFFER, bench.instanceBuffer);
  for (GLuint column = 0; column < 4; ++column) {
    glEnableVertexAttribArray(1 + column);
    glVertexAttribPointer(1 + column, 4, GL_FLOAT, GL_FALSE, sizeof(Mat4),
                          reinterpret_cast<const void*>(column * 4 * sizeof(float)));
    glVertexAttribDivisor(1 + column, 1);
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, bench.stack.scene.indexBuffer);
  glBindVertexArray(0);
  return true;
}

void Close(Bench& bench) {
  glDeleteBuffers(1, &bench.instanceBuffer);
  glDeleteVertexArrays(1, &bench.instancedLayout);
  glDeleteProgram(bench.instancedProgram);
  bench::ReleaseConstantRing(bench.ring);
  CloseDrawingStack(bench.stack);
}

void EndFrame(Bench& bench) {
  PresentFrame(bench.stack.device);
  glFinish();
}

// The demo's path: DrawCube for every cube.
void DemoFrame(Bench& bench) {
  ClearFrame(bench.stack.device);
  for (const Mat4& world : bench.worlds) {
    DrawCube(bench.stack.device, bench.stack.scene, bench.stack.program, bench.stack.constants,
             world);
  }
  EndFrame(bench);
}

// DrawCube for the first cube (it binds the pipeline), then the strategy's upload and a draw for
// every further one.
template <UploadStrategy kStrategy>
void StrategyFrame(Bench& bench) {
  ClearFrame(bench.stack.device);
  DrawCube(bench.stack.device, bench.stack.scene, bench.stack.program, bench.stack.constants,
           bench.worlds[0]);
  for (size_t i = 1; i < bench.worlds.size(); ++i) {
    bench.stack.constants.worldMatrix = bench.worlds[i];
    bench::UploadConstants<kStrategy>(bench.ring, bench.stack.constants);
    glDrawElements(GL_TRIANGLES, bench.stack.scene.indexCount, bench.stack.scene.indexType,
                   nullptr);
  }
  EndFrame(bench);
}

// DrawCube for the first cube (it binds the pipeline and the projection), then every further
// matrix in one upload and one instanced draw.
void InstancedFrame(Bench& bench) {
  ClearFrame(bench.stack.device);
  DrawCube(bench.stack.device, bench.stack.scene, bench.stack.program, bench.stack.constants,
           bench.worlds[0]);
  glUseProgram(bench.instancedProgram);
  glBindVertexArray(bench.instancedLayout);
  glBindBuffer(GL_ARRAY_BUFFER, bench.instanceBuffer);
  glBufferSubData(GL_ARRAY_BUFFER, 0, (bench.worlds.size() - 1) * sizeof(Mat4),
                  bench.worlds.data() + 1);
  glDrawElementsInstanced(GL_TRIANGLES, bench.stack.scene.indexCount, bench.stack.scene.indexType,
                          nullptr, static_cast<GLsizei>(bench.worlds.size() - 1));
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
  const char* name;
  double seconds;  // per frame
};

// The demo's per-cube frames, each upload strategy, and the instanced reference, on one W x H
// target. Rounds alternate between them so drifting machine load hits all alike.
bool MeasureAt(Resolution resolution, double seconds, bool report) {
  Bench bench;
  if (!Open(bench, resolution)) return false;
  StrategyResult results[4] = {{"DrawCube (glMapBufferRange + INVALIDATE_BUFFER)", 0.0},
                               {"then glMapBufferRange + INVALIDATE_BUFFER", 0.0},
                               {"then orphaning glBufferData + glBufferSubData", 0.0},
                               {"then ring of slots + glBindBufferRange", 0.0}};
  double instanced = 0.0;
  for (int i = 0; i < 2; ++i) {
    results[0].seconds += SecondsPerFrame(bench, DemoFrame, seconds) / 2;
    bench::CreateConstantRing(UploadStrategy::kMapInvalidate, bench.stack.constants, bench.ring);
    results[1].seconds +=
        SecondsPerFrame(bench, StrategyFrame<UploadStrategy::kMapInvalidate>, seconds) / 2;
    bench::ReleaseConstantRing(bench.ring);
    bench::CreateConstantRing(UploadStrategy::kOrphanSubData, bench.stack.constants, bench.ring);
    results[2].seconds +=
        SecondsPerFrame(bench, StrategyFrame<UploadStrategy::kOrphanSubData>, seconds) / 2;
    bench::ReleaseConstantRing(bench.ring);
    bench::CreateConstantRing(UploadStrategy::kSlotRing, bench.stack.constants, bench.ring);
    results[3].seconds +=
        SecondsPerFrame(bench, StrategyFrame<UploadStrategy::kSlotRing>, seconds) / 2;
    bench::ReleaseConstantRing(bench.ring);
    instanced += SecondsPerFrame(bench, InstancedFrame, seconds) / 2;
  }
  const double cubes = static_cast<double>(bench.worlds.size());
  std::printf("%dx%d, %zu cubes per frame, swap + glFinish per frame:\n", resolution.width,
              resolution.height, bench.worlds.size());
  for (const StrategyResult& r : results) {
    std::printf("  per-cube, %-48s %7.1f fps %7.2f ms %6.3f us/cube\n", r.name, 1.0 / r.seconds,
                1e3 * r.seconds, 1e6 * r.seconds / cubes);
  }
  std::printf("  %-58s %7.1f fps %7.2f ms %6.3f us/cube\n", "instanced reference, one draw",
              1.0 / instanced, 1e3 * instanced, 1e6 * instanced / cubes);
  if (report) {
    std::printf("  DrawCube per-cube fps / instanced fps: %.3f\n", instanced / results[0].seconds);
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
  bool ok = tc::MeasureAt({1920, 1080}, seconds, true);
  ok = ok && tc::MeasureAt({1280, 720}, seconds, true);
  ok = ok && tc::MeasureAt({64, 64}, seconds, false);
  return ok ? 0 : 1;
}
