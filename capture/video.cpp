#include "capture/video.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>

#include "capture/encoder.h"
#include "capture/exit_status.h"
#include "capture/frame_queue.h"
#include "capture/progress.h"
#include "capture/renderer.h"
#include "capture/song_track.h"
#include "demo/frame.h"

namespace tc::capture {
namespace {

// Frames between the renderer and the encoder; four 1080p frames are 33 MB.
constexpr int kQueueSlots = 4;

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

// The frame loop and the encoder. The renderer, the song track and the read-back are the
// caller's, which releases them however this ends; those it is done with it releases early.
int RenderAndEncode(const CaptureOptions& options, const FramePlan& plan, const std::string& ffmpeg,
                    DemoState& state, TemporaryOutput& temp, Renderer& r, SongTrack& song,
                    FrameReadback& ring) {
  const StartupStatus songStatus = WriteSongTrack(plan, r.resources, song);
  if (!songStatus.ok) {
    std::fprintf(stderr, "%s\n", songStatus.message);
    return kExitFailure;
  }
  if (gStopSignal != 0) return StopExitCode();
  if (!FastForward(r, state, plan)) return kExitFailure;
  if (!StartReadback(r, options.resolution, ring)) return kExitFailure;

  FrameQueue queue;
  if (!CreateFrameQueue(queue, FrameReadbackBytes(ring), kQueueSlots)) {
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

  Progress progress;
  StartProgress(progress, plan.endFrame - plan.firstFrame);
  auto stopRequested = [] { return gStopSignal != 0; };
  StartupStatus read;
  // Hands the oldest frame still on the GPU to the encoder's queue.
  auto collect = [&]() {
    uint8_t* slot = AcquireFreeSlot(queue, stopRequested);
    if (slot == nullptr) return false;
    read = CollectFrameReadback(r.stack.device, ring, slot, queue.frameBytes);
    if (!read.ok) return false;
    SubmitSlot(queue);
    return true;
  };
  // The song time of the newest frame handed to the encoder.
  auto lastCollectedSeconds = [&]() {
    const int64_t done = ring.collected > 0 ? ring.collected - 1 : 0;
    return FixedRateFrameTime(plan.firstFrame + done, plan.framesPerSecond);
  };
  bool running = true;
  for (int64_t n = plan.firstFrame; running && n < plan.endFrame; ++n) {
    if (gStopSignal != 0) break;
    RenderFrame(r, state, n, plan.framesPerSecond);
    IssueFrameReadback(r.stack.device, ring);
    PresentFrame(r.stack.device);
    if (PendingFrameReadbacks(ring) == FrameReadback::kDepth) running = collect();
    ShowProgress(progress, ring.collected, lastCollectedSeconds());
  }
  while (running && PendingFrameReadbacks(ring) > 0 && gStopSignal == 0) {
    running = collect();
  }
  ShowProgress(progress, ring.collected, lastCollectedSeconds());
  EndProgressLine(progress);
  const int64_t framesCollected = ring.collected;
  const StartupStatus drawn = DrawFailures(r.stack.device);
  ReleaseFrameReadback(ring);
  StopRenderer(r);

  if (gStopSignal != 0 || !read.ok || !drawn.ok) {
    AbortFrameQueue(queue);
    KillEncoder(encoder);
    feeder.join();
    if (gStopSignal != 0) return StopExitCode();
    return Fail(kExitFailure,
                std::string(read.ok ? drawn.message : read.message) + "; nothing written");
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
  if (!KeepTemporaryOutput(temp, options.output, error)) return Fail(kExitFailure, error);
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

int CaptureVideo(const CaptureOptions& options, const FramePlan& plan, const std::string& ffmpeg,
                 DemoState& state, TemporaryOutput& temp) {
  Renderer r;
  if (!StartRenderer(r, options.resolution)) return kExitFailure;
  SongTrack song;
  FrameReadback ring;
  const int code = RenderAndEncode(options, plan, ffmpeg, state, temp, r, song, ring);
  ReleaseFrameReadback(ring);
  ReleaseSongTrack(song);
  StopRenderer(r);
  return code;
}

}  // namespace tc::capture
