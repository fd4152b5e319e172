#include "audio/output_position.h"

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
  if (backend == ma_backend_pulseaudio) lookedUp = LookUpPulse(position.pulse, device);
  if (backend == ma_backend_alsa) lookedUp = LookUpAlsa(position.alsa, device);
  if (backend == ma_backend_webaudio) WatchPageContext(device);
  position.source = ChoosePositionSource(backend, lookedUp);
  position.pulse.server.rate = position.rate;
}

void PublishPosition(OutputPosition& position) {
  if (!position.songNoted || !position.anchored) return;
  const double heard =
      HeardHostOf(position.anchor, position.rate, static_cast<double>(position.songEndFrames));
  PublishMixStamp(*position.stamp, position.songFrames, heard, position.songEpoch);
}

void NotePositionAfterMix(OutputPosition& position, ma_uint32 frameCount, bool songMixed,
                          std::uint64_t cursorFrames, std::uint32_t epoch, bool moved) {
  const double host = MonotonicSeconds();
  const std::int64_t before = position.producedFrames;
  position.producedFrames += frameCount;
  bool asked = false;
  switch (position.source) {
    case PositionSource::kServerReport:
      if (moved) RestartPulseReports(position);
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
  // What the output's watch and a seek need: that the output still takes sound, and how long a
  // mix made now waits to be heard.
  const double queued = position.anchored
                            ? HeardHostOf(position.anchor, position.rate,
                                          static_cast<double>(position.producedFrames)) -
                                  host
                            : position.bufferSeconds;
  PublishMixPace(*position.stamp, host, queued > 0.0 ? queued : 0.0);
}

void CloseOutputPosition(OutputPosition& position) {
  ReleasePulse(position.pulse);
  ReleaseWasapiClock(position.wasapi);
  position.source = PositionSource::kWholeBuffer;
}

}  // namespace tc
