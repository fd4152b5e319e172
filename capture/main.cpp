// zephyrine-capture: the demo as a video file or a still, rendered off-screen with the demo's
// own frame pass at a fixed frame rate. Frame n shows the choreography at n / fps, from frame 0
// whatever the section asked for, so every capture is a slice of one and the same fixed-rate run.
// The clock is the frame counter; the song is decoded by miniaudio and muxed by ffmpeg, sample
// aligned with the first frame. Standard output stays empty: progress and diagnostics go to
// standard error.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "base/resource_lookup.h"
#include "capture/encoder.h"
#include "capture/frame_plan.h"
#include "capture/frame_queue.h"
#include "capture/options.h"
#include "capture/progress.h"
#include "capture/song_track.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/stack.h"
#include "stb_image_write.h"

namespace {

using namespace tc::capture;

constexpr int kExitFailure = 1;
constexpr int kExitBadArgument = 2;
// Frames between the renderer and the encoder; four 1080p frames are 33 MB.
constexpr int kQueueSlots = 4;

// Static storage: holds its initial values from program load on and is never reset.
tc::DemoState gDemoState;
// The signal that asked the capture to stop (SIGINT, SIGTERM, SIGHUP), or 0.
volatile sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
  gStopSignal = signal;
}

// Beat lines go nowhere: the capture writes nothing to standard output.
class DiscardBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

int Fail(int code, const std::string& line) {
  std::fprintf(stderr, "zephyrine-capture: %s\n", line.c_str());
  return code;
}

// "dir/name.partial-PID.ext" beside "dir/name.ext": the same folder (so the rename is atomic and
// needs no copy) and the same extension.
std::string TemporaryNameFor(const std::string& output) {
  const size_t slash = output.find_last_of('/');
  const size_t dot = output.find_last_of('.');
  const size_t stemEnd = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                             ? dot
                             : output.size();
  return output.substr(0, stemEnd) + ".partial-" + std::to_string(getpid()) +
         output.substr(stemEnd);
}

// The output's temporary file exists from the start, so an unwritable folder is reported before
// any work; it is removed on every way out but success.
struct TemporaryOutput {
  std::string path;
  bool kept = false;
  ~TemporaryOutput() {
    if (!path.empty() && !kept) unlink(path.c_str());
  }
};

void InstallStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A dead encoder shows up as a failed write, not as the end of this process.
  signal(SIGPIPE, SIG_IGN);
}

int StopExitCode() {
  const int signal = gStopSignal;
  std::fprintf(stderr, "zephyrine-capture: stopped by %s; nothing written\n", strsignal(signal));
  return 128 + signal;
}

std::string FileSizeText(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return "size unknown";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(info.st_size) / 1e6);
  return text;
}

struct Renderer {
  tc::DrawingStack stack;
  tc::ShapeTable table;
  tc::ResourcePaths resources;
};

// The demo's start-up order, off-screen. A failure prints the demo's own line.
bool StartRenderer(Renderer& r, tc::Resolution resolution) {
  tc::StartupStatus status = tc::FindResourceFolder(r.resources);
  if (status.ok) {
    tc::StackOptions options;
    options.resolution = resolution;
    options.placement.offscreen = true;
    status = tc::OpenDrawingStack(options, r.resources, r.stack);
  }
  if (!status.ok) {
    std::fprintf(stderr, "%s\n", status.message);
    return false;
  }
  tc::BuildShapeTable(r.table);
  return true;
}

void StopRenderer(Renderer& r) {
  tc::CloseDrawingStack(r.stack);
}

// Runs the frames before the plan's first without drawing, and binds the texture they cycled to.
// Frame times rise by far more than a float's step, so "before the first frame's own time" is
// exactly the frames 0 .. first - 1.
bool FastForward(Renderer& r, const FramePlan& plan) {
  const double firstSeconds =
      static_cast<double>(tc::FixedRateFrameTime(plan.firstFrame, plan.framesPerSecond));
  const int64_t run = tc::FastForwardChoreography(gDemoState, r.stack.constants.projectionMatrix,
                                                  r.table, plan.framesPerSecond, firstSeconds);
  tc::BindCubeTexture(r.stack.device, r.stack.scene, gDemoState.textureIndex);
  if (run != plan.firstFrame) {
    Fail(kExitFailure, "fast-forward ran " + std::to_string(run) + " frames, " +
                           std::to_string(plan.firstFrame) + " expected");
    return false;
  }
  return true;
}

float RenderFrame(Renderer& r, int64_t index, int framesPerSecond, std::ostream& beatLog) {
  tc::FrameRenderer renderer = tc::StackRenderer(r.stack);
  const float songSeconds = tc::FixedRateFrameTime(index, framesPerSecond);
  tc::RunChoreographyFrame(gDemoState, r.stack.constants.projectionMatrix, r.table, songSeconds,
                           beatLog, renderer);
  return songSeconds;
}

int CaptureStill(const CaptureOptions& options, const FramePlan& plan, TemporaryOutput& temp) {
  Renderer r;
  if (!StartRenderer(r, options.resolution)) return kExitFailure;
  if (!FastForward(r, plan)) return kExitFailure;
  DiscardBuffer discard;
  std::ostream beatLog(&discard);
  RenderFrame(r, plan.firstFrame, plan.framesPerSecond, beatLog);
  const int width = options.resolution.width;
  const int height = options.resolution.height;
  std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
  tc::FrameReadback ring;
  tc::CreateFrameReadback(r.stack.device, ring);
  tc::IssueFrameReadback(r.stack.device, ring);
  const bool read = tc::CollectFrameReadback(r.stack.device, ring, rgba.data());
  tc::ReleaseFrameReadback(ring);
  StopRenderer(r);
  if (!read) return Fail(kExitFailure, "reading the frame back failed (glMapBufferRange)");
  if (gStopSignal != 0) return StopExitCode();
  // The background's alpha is 0: a picture with it would be transparent, so RGB only.
  for (size_t i = 0, o = 0; i < rgba.size(); i += 4, o += 3) {
    rgba[o] = rgba[i];
    rgba[o + 1] = rgba[i + 1];
    rgba[o + 2] = rgba[i + 2];
  }
  if (stbi_write_png(temp.path.c_str(), width, height, 3, rgba.data(), width * 3) == 0) {
    return Fail(kExitFailure, "cannot write " + temp.path + ": " + std::strerror(errno));
  }
  if (rename(temp.path.c_str(), options.output.c_str()) != 0) {
    return Fail(kExitFailure, "cannot rename " + temp.path + " to " + options.output + ": " +
                                  std::strerror(errno));
  }
  temp.kept = true;
  std::fprintf(stderr, "zephyrine-capture: wrote %s: frame %lld at %.4f s (%dx%d)\n",
               options.output.c_str(), static_cast<long long>(plan.firstFrame),
               static_cast<double>(tc::FixedRateFrameTime(plan.firstFrame, plan.framesPerSecond)),
               width, height);
  return 0;
}

// Feeds queued frames to the encoder until the render loop closes the queue; on a failed write
// (the encoder died or gave up) it stops the render loop through the queue.
void FeedFrames(FrameQueue& queue, const EncoderProcess& encoder, std::atomic<bool>& failed) {
  for (;;) {
    const uint8_t* frame = AcquireFilledSlot(queue);
    if (frame == nullptr) return;
    if (!FeedEncoder(encoder, frame, queue.frameBytes)) {
      failed = true;
      AbortFrameQueue(queue);
      return;
    }
    ReleaseSlot(queue);
  }
}

int CaptureVideo(const CaptureOptions& options, const FramePlan& plan, const std::string& ffmpeg,
                 TemporaryOutput& temp) {
  Renderer r;
  if (!StartRenderer(r, options.resolution)) return kExitFailure;
  SongTrack song;
  const tc::StartupStatus songStatus = WriteSongTrack(plan, r.resources, song);
  if (!songStatus.ok) {
    std::fprintf(stderr, "%s\n", songStatus.message);
    return kExitFailure;
  }
  if (gStopSignal != 0) return StopExitCode();
  if (!FastForward(r, plan)) return kExitFailure;

  const size_t frameBytes =
      static_cast<size_t>(options.resolution.width) * options.resolution.height * 4;
  FrameQueue queue;
  if (!CreateFrameQueue(queue, frameBytes, kQueueSlots)) {
    return Fail(kExitFailure, "not enough memory for the frame queue");
  }
  EncoderProcess encoder;
  std::string error;
  if (!StartEncoder(ffmpeg, EncoderArguments(options, temp.path), song.fd, encoder, error)) {
    return Fail(kExitFailure, error);
  }
  ReleaseSongTrack(song);  // the encoder holds its own descriptor

  // The feeding thread leaves the stop signals to the render loop.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
  std::atomic<bool> encoderFailed{false};
  std::thread feeder(FeedFrames, std::ref(queue), std::cref(encoder), std::ref(encoderFailed));
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  tc::FrameReadback ring;
  tc::CreateFrameReadback(r.stack.device, ring);
  DiscardBuffer discard;
  std::ostream beatLog(&discard);
  Progress progress;
  StartProgress(progress, plan.endFrame - plan.firstFrame);
  auto stopRequested = [] { return gStopSignal != 0; };
  bool readFailed = false;
  // Hands the oldest frame still on the GPU to the encoder's queue.
  auto collect = [&]() {
    uint8_t* slot = AcquireFreeSlot(queue, stopRequested);
    if (slot == nullptr) return false;
    if (!tc::CollectFrameReadback(r.stack.device, ring, slot)) {
      readFailed = true;
      return false;
    }
    SubmitSlot(queue);
    return true;
  };
  // The song time of the newest frame handed to the encoder.
  auto lastCollectedSeconds = [&]() {
    const int64_t done = ring.collected > 0 ? ring.collected - 1 : 0;
    return tc::FixedRateFrameTime(plan.firstFrame + done, plan.framesPerSecond);
  };
  bool running = true;
  for (int64_t n = plan.firstFrame; running && n < plan.endFrame; ++n) {
    if (gStopSignal != 0) break;
    RenderFrame(r, n, plan.framesPerSecond, beatLog);
    tc::IssueFrameReadback(r.stack.device, ring);
    tc::PresentFrame(r.stack.device);
    if (tc::PendingFrameReadbacks(ring) == tc::FrameReadback::kDepth) running = collect();
    ShowProgress(progress, ring.collected, lastCollectedSeconds());
  }
  while (running && tc::PendingFrameReadbacks(ring) > 0 && gStopSignal == 0) {
    running = collect();
  }
  ShowProgress(progress, ring.collected, lastCollectedSeconds());
  EndProgressLine(progress);
  const int64_t framesCollected = ring.collected;
  tc::ReleaseFrameReadback(ring);
  StopRenderer(r);

  if (gStopSignal != 0 || readFailed) {
    AbortFrameQueue(queue);
    KillEncoder(encoder);
    feeder.join();
    if (readFailed) return Fail(kExitFailure, "reading a frame back failed (glMapBufferRange)");
    return StopExitCode();
  }
  // Every frame is queued (or the encoder failed): the feeder ends once the queue is empty.
  CloseFrameQueue(queue);
  feeder.join();
  if (encoderFailed) {
    // It stopped reading: it has failed, or is about to. Its own words say why.
    FinishEncoder(encoder, gStopSignal, error);
    return Fail(kExitFailure, error + "; nothing written");
  }
  if (!FinishEncoder(encoder, gStopSignal, error)) {
    if (gStopSignal != 0) return StopExitCode();
    return Fail(kExitFailure, error + "; nothing written");
  }
  if (gStopSignal != 0) return StopExitCode();
  if (rename(temp.path.c_str(), options.output.c_str()) != 0) {
    return Fail(kExitFailure, "cannot rename " + temp.path + " to " + options.output + ": " +
                                  std::strerror(errno));
  }
  temp.kept = true;
  const double seconds = ElapsedSeconds(progress);
  const int fps = plan.framesPerSecond;
  std::fprintf(stderr,
               "zephyrine-capture: wrote %s: %lld frames, %.3f s to %.3f s at %d fps, in %.1f s "
               "(%.1f fps), %s\n",
               options.output.c_str(), static_cast<long long>(framesCollected),
               static_cast<double>(plan.firstFrame) / fps, static_cast<double>(plan.endFrame) / fps,
               fps, seconds, static_cast<double>(framesCollected) / seconds,
               FileSizeText(options.output).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CaptureOptions options;
  std::string error;
  switch (ParseCommandLine(argc, argv, options, error)) {
    case ParseOutcome::kHelpShown:
    case ParseOutcome::kVersionShown:
      return 0;
    case ParseOutcome::kBadArgument:
      return Fail(kExitBadArgument, error);
    case ParseOutcome::kRun:
      break;
  }
  FramePlan plan;
  if (!PlanFrames(options, plan, error)) return Fail(kExitBadArgument, error);
  std::string ffmpeg;
  if (options.kind != OutputKind::kStillPng) {
    ffmpeg = FindProgram("ffmpeg");
    if (ffmpeg.empty()) {
      return Fail(kExitBadArgument,
                  "ffmpeg not found on PATH: video needs the ffmpeg program (Debian package "
                  "ffmpeg, installed by scripts/setup)");
    }
  }
  struct stat info;
  if (stat(options.output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return Fail(kExitBadArgument, options.output + " is a folder, not a file name");
  }
  TemporaryOutput temp;
  {
    const std::string path = TemporaryNameFor(options.output);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
      return Fail(kExitBadArgument,
                  "cannot write beside " + options.output + ": " + std::strerror(errno));
    }
    close(fd);
    temp.path = path;
  }
  InstallStopHandlers();
  if (options.kind == OutputKind::kStillPng) return CaptureStill(options, plan, temp);
  return CaptureVideo(options, plan, ffmpeg, temp);
}
