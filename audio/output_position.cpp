#include "audio/output_position.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#define TC_POSITION_ALSA 1
#endif
#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

namespace tc {

PositionSource ChoosePositionSource(ma_backend backend, bool lookedUp) {
  switch (backend) {
    case ma_backend_pulseaudio:
      return lookedUp ? PositionSource::kServerReport : PositionSource::kWholeBuffer;
    case ma_backend_alsa:
      return lookedUp ? PositionSource::kPcmDelay : PositionSource::kWholeBuffer;
    case ma_backend_wasapi:
      return PositionSource::kDeviceClock;
    case ma_backend_null:
      return PositionSource::kNullClock;
    case ma_backend_webaudio:
      return PositionSource::kPageContext;
    default:
      // The rest report no position we read: the whole buffer is taken as queued.
      return PositionSource::kWholeBuffer;
  }
}

HeardAnchor MixAnchor(PositionSource source, double framesBefore, double framesAfter,
                      double hostSeconds, double bufferSeconds) {
  HeardAnchor anchor;
  if (source == PositionSource::kNullClock) {
    anchor.frames = framesBefore;
    anchor.hostSeconds = hostSeconds;
  } else {
    anchor.frames = framesAfter;
    anchor.hostSeconds = hostSeconds + bufferSeconds;
  }
  return anchor;
}

namespace {

bool LookUpAlsa(OutputPosition& position, ma_device& device) {
#if TC_POSITION_ALSA
  position.pcm = device.alsa.pPCMPlayback;
  position.pcmDelay = dlsym(device.pContext->alsa.asoundSO, "snd_pcm_delay");
  return position.pcm != nullptr && position.pcmDelay != nullptr;
#else
  (void)position;
  (void)device;
  return false;
#endif
}

// The data callback runs on the thread that writes the PCM, between writes: the delay then counts
// every frame written before this mix. (The library writes through a small staging buffer, so the
// frames it still holds make the estimate early by at most that buffer, 512 frames at most.)
bool AskAlsa(OutputPosition& position, std::int64_t framesBefore, double hostSeconds) {
#if TC_POSITION_ALSA
  using Delay = int (*)(snd_pcm_t*, snd_pcm_sframes_t*);
  snd_pcm_sframes_t delay = 0;
  if (reinterpret_cast<Delay>(position.pcmDelay)(static_cast<snd_pcm_t*>(position.pcm), &delay) !=
      0) {
    return false;  // an underrun or a suspended PCM: the last anchor stays
  }
  position.anchor.frames = static_cast<double>(framesBefore);
  position.anchor.hostSeconds =
      hostSeconds + static_cast<double>(delay > 0 ? delay : 0) / position.rate;
  return true;
#else
  (void)position;
  (void)framesBefore;
  (void)hostSeconds;
  return false;
#endif
}

#if defined(__EMSCRIPTEN__)
// The bodies are JavaScript.
// clang-format off
// The script node's event says when (in context time) the buffer it asks for will play; keep it
// on the device, where the mix that runs inside the event reads it.
EM_JS(void, WatchScriptNodePlaybackTime, (int deviceIndex), {
  const device = window.miniaudio && window.miniaudio.get_device_by_index(deviceIndex);
  if (!device || !device.scriptNode) return;
  const mix = device.scriptNode.onaudioprocess;
  device.scriptNode.onaudioprocess = function(event) {
    device.tumblecratePlaybackTime = event.playbackTime;
    mix(event);
  };
});

// Seconds from now until the end of the mix being written is heard. The context's output
// timestamp pairs the context time leaving the speaker with the page's clock, so the buffer's own
// playback time places it, following the output's real pace. Until the output has played
// anything (or where a browser has no timestamp), the node's double buffer and the latencies the
// context reports stand in: the buffer starts one period on and ends two periods on.
EM_JS(double, WebSecondsUntilMixEndHeard, (int deviceIndex, double periodSeconds), {
  const device = window.miniaudio && window.miniaudio.get_device_by_index(deviceIndex);
  if (!device || !device.webaudio) return 2.0 * periodSeconds;
  const context = device.webaudio;
  const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
  const playbackTime = device.tumblecratePlaybackTime;
  if (stamp && stamp.performanceTime > 0 && typeof playbackTime === 'number') {
    return (stamp.performanceTime - performance.now()) / 1000 +
           (playbackTime + periodSeconds - stamp.contextTime);
  }
  return 2.0 * periodSeconds + (context.baseLatency || 0) + (context.outputLatency || 0);
});
// clang-format on
#endif

// The page's thread mixes, inside the script node's event, so the context may be asked here.
bool AskPageContext(OutputPosition& position, double hostSeconds) {
#if defined(__EMSCRIPTEN__)
  position.anchor.frames = static_cast<double>(position.producedFrames);
  position.anchor.hostSeconds =
      hostSeconds +
      WebSecondsUntilMixEndHeard(position.device->webaudio.deviceIndex, position.periodSeconds);
  return true;
#else
  (void)position;
  (void)hostSeconds;
  return false;
#endif
}

}  // namespace

void OpenOutputPosition(OutputPosition& position, ma_device& device, MixStamp& stamp) {
  position = OutputPosition{};
  position.stamp = &stamp;
  position.device = &device;
  position.rate = static_cast<double>(device.sampleRate);
  if (device.playback.internalSampleRate != 0) {
    position.periodSeconds = static_cast<double>(device.playback.internalPeriodSizeInFrames) /
                             static_cast<double>(device.playback.internalSampleRate);
  }
  position.bufferSeconds =
      position.periodSeconds * static_cast<double>(device.playback.internalPeriods);
  const ma_backend backend = device.pContext->backend;
  bool lookedUp = false;
  if (backend == ma_backend_pulseaudio) lookedUp = LookUpPulse(position, device);
  if (backend == ma_backend_alsa) lookedUp = LookUpAlsa(position, device);
#if defined(__EMSCRIPTEN__)
  if (backend == ma_backend_webaudio) WatchScriptNodePlaybackTime(device.webaudio.deviceIndex);
#endif
  position.source = ChoosePositionSource(backend, lookedUp);
  position.server.rate = position.rate;
}

void PublishPosition(OutputPosition& position) {
  if (!position.songNoted || !position.anchored) return;
  const double heard =
      HeardHostOf(position.anchor, position.rate, static_cast<double>(position.songEndFrames));
  PublishMixStamp(*position.stamp, position.songFrames, heard, position.songEpoch);
}

void NotePositionAfterMix(OutputPosition& position, ma_uint32 frameCount, bool songMixed,
                          std::uint64_t cursorFrames, std::uint32_t epoch) {
  const double host = MonotonicSeconds();
  const std::int64_t before = position.producedFrames;
  position.producedFrames += frameCount;
  bool asked = false;
  switch (position.source) {
    case PositionSource::kServerReport:
      AskPulse(position);
      asked = position.reported;
      break;
    case PositionSource::kPcmDelay:
      asked = AskAlsa(position, before, host);
      break;
    case PositionSource::kDeviceClock:
      asked = AskWasapiClock(position, before, host);
      break;
    case PositionSource::kPageContext:
      asked = AskPageContext(position, host);
      break;
    default:
      break;
  }
  if (asked) {
    position.anchored = true;
    position.reported = true;
  } else if (!position.reported) {
    // No report yet (or none to be had): the source's own rule, or the fallback.
    const PositionSource rule = position.source == PositionSource::kNullClock
                                    ? PositionSource::kNullClock
                                    : PositionSource::kWholeBuffer;
    position.anchor =
        MixAnchor(rule, static_cast<double>(before), static_cast<double>(position.producedFrames),
                  host, position.bufferSeconds);
    position.anchored = true;
  }
  // A mix that left the cursor where it was (the song ended, or not begun) keeps the last note:
  // the song's end is heard when its last mixed frame is.
  if (songMixed &&
      (!position.songNoted || cursorFrames != position.songFrames || epoch != position.songEpoch)) {
    position.songFrames = cursorFrames;
    position.songEndFrames = position.producedFrames;
    position.songEpoch = epoch;
    position.songNoted = true;
  }
  PublishPosition(position);
}

void CloseOutputPosition(OutputPosition& position) {
  ReleasePulse(position);
  ReleaseWasapiClock(position);
  position.source = PositionSource::kWholeBuffer;
}

}  // namespace tc
