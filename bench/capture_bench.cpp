// Capture benchmark, run by hand from the repository root (it loads resources/ like the demo):
//
//   capture_bench ratio [FROM TO [PRESET]]   per size: render + read back only (the capture's own
//                                   frame read-back, no encoder) against zephyrine-capture itself
//                                   on the same frames at 60 fps (default 96.6 .. 106.6 s, the
//                                   heaviest stretch); prints both rates, their ratio, the file
//                                   size
//   capture_bench profile [SIZE]    render time of every frame of the timeline at 60 fps (draws +
//                                   glFinish): median, 99th percentile, maximum, the ten slowest
//
// Both draw through SDL's off-screen EGL driver, on the capture tool's own renderer. Each run
// starts from a fresh DemoState and rand() sequence, as a capture does.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capture/frame_plan.h"
#include "capture/renderer.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "render/stack.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFps = 60;

// User + system CPU seconds of this process (RUSAGE_SELF) or of its waited-for descendants
// (RUSAGE_CHILDREN: the capture tool and, through it, ffmpeg).
double CpuSeconds(int who) {
  rusage usage;
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The frame pass with a cube count.
struct CountingRenderer {
  tc::FrameRenderer inner;
  int cubes = 0;
  void ClearFrame() {
    cubes = 0;
    inner.ClearFrame();
  }
  void BindCubeTexture(int32_t i) { inner.BindCubeTexture(i); }
  void DrawCube(const tc::Mat4& world) {
    ++cubes;
    inner.DrawCube(world);
  }
};

// Frames [first, end) rendered and read back through the capture's ring into one buffer, no
// encoder: the rate the capture could reach if encoding were free.
double RenderOnlyFps(tc::Resolution resolution, int64_t first, int64_t end, double* cpuPerFrame) {
  tc::capture::Renderer r;
  if (!tc::capture::StartRenderer(r, resolution)) return 0.0;
  srand(1);  // the unseeded sequence, as in a fresh process
  tc::DemoState state;
  const tc::capture::FramePlan plan{kFps, first, end};
  tc::FrameReadback ring;
  double fps = 0.0;
  if (tc::capture::FastForward(r, state, plan) && tc::capture::StartReadback(r, resolution, ring)) {
    std::vector<uint8_t> frame(tc::FrameReadbackBytes(ring));
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_SELF);
    for (int64_t n = first; n < end; ++n) {
      tc::capture::RenderFrame(r, state, n, kFps);
      tc::IssueFrameReadback(r.stack.device, ring);
      tc::PresentFrame(r.stack.device);
      if (tc::PendingFrameReadbacks(ring) == tc::FrameReadback::kDepth) {
        tc::CollectFrameReadback(r.stack.device, ring, frame.data(), frame.size());
      }
    }
    while (tc::PendingFrameReadbacks(ring) > 0)
      tc::CollectFrameReadback(r.stack.device, ring, frame.data(), frame.size());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    *cpuPerFrame = (CpuSeconds(RUSAGE_SELF) - cpuStart) / static_cast<double>(end - first);
    fps = static_cast<double>(end - first) / seconds;
  }
  tc::ReleaseFrameReadback(ring);
  tc::capture::StopRenderer(r);
  return fps;
}

// Runs zephyrine-capture and reads the frame rate from its summary line.
// `cpuSeconds`: the CPU time of the tool and of ffmpeg together, start-up included.
double CaptureFps(const std::vector<std::string>& args, const std::string& output, long long* bytes,
                  double* cpuSeconds) {
  const double cpuStart = CpuSeconds(RUSAGE_CHILDREN);
  const std::string log = output + ".log";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv = {const_cast<char*>(TC_CAPTURE_EXE)};
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(const_cast<char*>(output.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawn(&pid, TC_CAPTURE_EXE, &actions, nullptr, argv.data(), environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "capture_bench: zephyrine-capture failed (see %s)\n", log.c_str());
    return 0.0;
  }
  posix_spawn_file_actions_destroy(&actions);
  *cpuSeconds = CpuSeconds(RUSAGE_CHILDREN) - cpuStart;
  FILE* f = std::fopen(log.c_str(), "r");
  char line[512];
  double fps = 0.0;
  while (f != nullptr && std::fgets(line, sizeof line, f) != nullptr) {
    const char* p = std::strstr(line, " s (");
    if (std::strstr(line, ": wrote ") != nullptr && p != nullptr) fps = std::atof(p + 4);
  }
  if (f != nullptr) std::fclose(f);
  struct stat info;
  *bytes = stat(output.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
  return fps;
}

int Ratio(double from, double to, const char* preset) {
  const int64_t first = tc::FirstFrameAtOrAfter(from, kFps);
  const int64_t end = tc::FirstFrameAtOrAfter(to, kFps);
  char fromText[32], toText[32];
  std::snprintf(fromText, sizeof fromText, "%g", from);
  std::snprintf(toText, sizeof toText, "%g", to);
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = tmp != nullptr ? tmp : "/tmp";
  for (const char* size : {"720", "1080"}) {
    const tc::Resolution resolution =
        std::strcmp(size, "720") == 0 ? tc::Resolution{1280, 720} : tc::Resolution{1920, 1080};
    double renderCpu = 0.0, captureCpu = 0.0;
    const double render = RenderOnlyFps(resolution, first, end, &renderCpu);
    long long bytes = 0;
    const std::string output = folder + "/capture_bench_" + size + ".mp4";
    const double capture =
        CaptureFps({"--size", size, "--from", fromText, "--to", toText, "--preset", preset}, output,
                   &bytes, &captureCpu);
    const double frames = static_cast<double>(end - first);
    // On a machine shared with other work the rates follow the load; the CPU time per frame does
    // not, and on an otherwise idle machine whose cores both workloads fill, the rates go as its
    // inverse.
    std::printf(
        "%dx%d, frames %lld..%lld at %d fps, x264 %s: render + read back %.1f fps, capture "
        "%.1f fps, ratio %.2f; CPU per frame %.1f ms vs %.1f ms, ratio %.2f; %.1f MB "
        "(%.1f Mbit/s)\n",
        resolution.width, resolution.height, static_cast<long long>(first),
        static_cast<long long>(end - 1), kFps, preset, render, capture, capture / render,
        1e3 * renderCpu, 1e3 * captureCpu / frames, renderCpu * frames / captureCpu, bytes / 1e6,
        bytes * 8.0 / 1e6 / (frames / kFps));
    std::fflush(stdout);
    unlink(output.c_str());
  }
  return 0;
}

struct FrameCost {
  double ms;
  int64_t index;
  float seconds;
  float beat;
  int cubes;
};

int Profile(tc::Resolution resolution) {
  tc::capture::Renderer c;
  if (!tc::capture::StartRenderer(c, resolution)) return 1;
  const int64_t last = tc::TimelineEndFrame(kFps);
  srand(1);
  tc::DemoState state;
  CountingRenderer renderer{tc::StackRenderer(c.stack)};
  std::vector<FrameCost> costs;
  costs.reserve(static_cast<size_t>(last + 1));
  // Every frame's cost as it is measured, so a long run that is cut short still tells something.
  const char* tmp = std::getenv("TMPDIR");
  const std::string csvPath = std::string(tmp != nullptr ? tmp : "/tmp") + "/capture_profile_" +
                              std::to_string(resolution.height) + ".csv";
  FILE* csv = std::fopen(csvPath.c_str(), "w");
  for (int64_t n = 0; n <= last; ++n) {
    const float seconds = tc::FixedRateFrameTime(n, kFps);
    const auto start = Clock::now();
    const tc::FrameEvents events = tc::RunChoreographyFrame(
        state, c.stack.constants.projectionMatrix, c.table, seconds, c.beatLog, renderer);
    glFinish();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    costs.push_back({ms, n, seconds, events.timing.beat, renderer.cubes});
    tc::PresentFrame(c.stack.device);
    if (csv != nullptr) {
      std::fprintf(csv, "%lld,%.4f,%.0f,%d,%.3f\n", static_cast<long long>(n),
                   static_cast<double>(seconds), static_cast<double>(events.timing.beat),
                   renderer.cubes, ms);
      if (n % 600 == 0) std::fflush(csv);
    }
  }
  if (csv != nullptr) std::fclose(csv);
  tc::capture::StopRenderer(c);
  std::vector<FrameCost> sorted = costs;
  std::sort(sorted.begin(), sorted.end(),
            [](const FrameCost& a, const FrameCost& b) { return a.ms < b.ms; });
  const size_t count = sorted.size();
  double total = 0.0;
  for (const FrameCost& f : costs)
    total += f.ms;
  std::printf(
      "%dx%d, %zu frames at %d fps, draws + glFinish: total %.1f s, median %.2f ms, "
      "p99 %.2f ms, max %.2f ms\n",
      resolution.width, resolution.height, count, kFps, total / 1e3, sorted[count / 2].ms,
      sorted[count * 99 / 100].ms, sorted.back().ms);
  std::printf("  ten slowest:\n");
  for (size_t i = 0; i < 10 && i < count; ++i) {
    const FrameCost& f = sorted[count - 1 - i];
    std::printf("    frame %5lld  %7.3f s  beat %3.0f  %4d cubes  %6.2f ms\n",
                static_cast<long long>(f.index), static_cast<double>(f.seconds),
                static_cast<double>(f.beat), f.cubes, f.ms);
  }
  const auto heaviest =
      std::max_element(costs.begin(), costs.end(),
                       [](const FrameCost& a, const FrameCost& b) { return a.cubes < b.cubes; });
  std::printf("  most cubes: frame %lld at %.3f s, %d cubes, %.2f ms\n",
              static_cast<long long>(heaviest->index), static_cast<double>(heaviest->seconds),
              heaviest->cubes, heaviest->ms);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "ratio") {
    const double from = argc > 2 ? std::atof(argv[2]) : 96.6;
    const double to = argc > 3 ? std::atof(argv[3]) : 106.6;
    return Ratio(from, to, argc > 4 ? argv[4] : "ultrafast");
  }
  if (mode == "profile") {
    const std::string size = argc > 2 ? argv[2] : "both";
    int result = 0;
    if (size != "1080") result |= Profile({1280, 720});
    if (size != "720") result |= Profile({1920, 1080});
    return result;
  }
  std::fprintf(stderr, "usage: capture_bench ratio [FROM TO [PRESET]] | profile [720|1080]\n");
  return 2;
}
