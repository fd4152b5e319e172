// The choreography's cost for the heaviest frame of a run: the central cube, the wobbling
// lattice (729) and a ring of 1131 cubes with per-cube spin, 1861 world matrices in all.
#include <benchmark/benchmark.h>

#include <cstring>
#include <sstream>

#include "demo/frame.h"

namespace {

// Stores each matrix where DrawCube would, so the work cannot be optimised away.
struct StoreOnlyRenderer {
  tc::Mat4* world;
  long cubes = 0;
  void ClearFrame() { cubes = 0; }
  void BindCubeTexture(int32_t) {}
  void DrawCube(const tc::Mat4& world) {
    *this->world = world;
    ++cubes;
    benchmark::DoNotOptimize(this->world);
    benchmark::ClobberMemory();
  }
};

void BM_HeaviestFrame(benchmark::State& bench) {
  static tc::ShapeTable table;
  tc::BuildShapeTable(table);
  tc::Mat4 projection = {};
  tc::Mat4 world = {};
  StoreOnlyRenderer renderer{&world};
  std::ostringstream beats;

  // Beat 182 (about 109.5 s): the lattice wobbles and the ring spins per cube. The ring is
  // given its final size, 1131 cubes, as at beat 290; its shape is reset every frame so the
  // drift does not wander off over thousands of iterations.
  tc::DemoState state;
  state.lastBeat = 182.0f;
  for (int i = 0; i < 226; ++i)
    tc::LoadNextShapeRow(state.ring, table);
  const float songSeconds = 109.5f;
  for (auto _ : bench) {
    state.ring.shape = table.rows[117];
    tc::RunChoreographyFrame(state, projection, table, songSeconds, beats, renderer);
  }
  bench.counters["cubes"] = static_cast<double>(renderer.cubes);
  bench.counters["per_cube"] = benchmark::Counter(
      static_cast<double>(renderer.cubes),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HeaviestFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
