// Where the listener is in what the output device has been given, from the backend's own report,
// noted by the audio thread after every mix for the frame loop (audio/mix_stamp.h).
//
// Each backend is asked on the audio thread, where the sound library keeps the device: the frame
// loop never calls into a sound library. One source per backend, each in a file of its own:
//   PulseAudio (and PipeWire through its PulseAudio server): the stream's timing report, asked
//     for every ~100 ms by a timer on the device's main loop (output_position_pulse.cpp);
//   ALSA: the PCM's delay, read in the data callback (output_position_alsa.cpp);
//   WASAPI: the audio clock's position, dated by the performance counter
//     (output_position_wasapi.cpp);
//   Web Audio (a page): the AudioContext's output timestamp and the script node's playback time
//     (output_position_web.cpp);
//   the silent Null device: its own clock.
// Fallback, where a backend cannot say (any other backend, or a report not yet come):
// the whole device buffer is taken as queued behind each mix.
#pragma once

#include <chrono>
#include <cstdint>

#include "audio/heard_position.h"
#include "audio/mix_stamp.h"

#include "miniaudio.h"

namespace tc {

enum class PositionSource {
  kServerReport,  // PulseAudio's timing report
  kPcmDelay,      // ALSA's delay
  kDeviceClock,   // WASAPI's audio clock
  kNullClock,     // the silent device: a mixed period is consumed at once, in real time
  kPageContext,   // Web Audio: the AudioContext's output timestamp
  kWholeBuffer,   // the fallback
};

// Which source serves a backend; `lookedUp`: the backend's functions were found in its library.
PositionSource ChoosePositionSource(ma_backend backend, bool lookedUp);

// The anchor a mix of output frames [framesBefore, framesAfter) gives without any report, at host
// time `hostSeconds`: on the Null device the first of them is heard now; in the fallback the last
// of them is heard once the whole buffer ahead of it has played.
HeardAnchor MixAnchor(PositionSource source, double framesBefore, double framesAfter,
                      double hostSeconds, double bufferSeconds);

inline double MonotonicSeconds() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// PulseAudio's stream and the client library's functions the sound library already loaded (found
// by name in its handle).
struct PulsePosition {
  void* stream = nullptr;    // pa_stream*, the device's playback stream
  void* context = nullptr;   // pa_context*
  void* mainloop = nullptr;  // pa_mainloop*, iterated on the device's thread
  void* timer = nullptr;     // pa_time_event*: asks for a report every ~100 ms
  void* updateTimingInfo = nullptr;
  void* getTimingInfo = nullptr;
  void* operationUnref = nullptr;
  void* setBufferAttr = nullptr;
  void* rtClockNow = nullptr;
  void* rtTimeNew = nullptr;
  void* rtTimeRestart = nullptr;
  void* mainloopApi = nullptr;
  ServerTimeline server;
};

// ALSA's PCM and its delay function.
struct AlsaPosition {
  void* pcm = nullptr;  // snd_pcm_t*
  void* delay = nullptr;
};

// WASAPI's audio clock.
struct WasapiPosition {
  void* audioClient = nullptr;  // the client the clock came from: another one means a reroute
  void* audioClock = nullptr;   // IAudioClock*
  double clockFrequency = 0.0;
  std::int64_t clockOriginFrames = 0;  // the output frame at the clock's position 0
};

struct OutputPosition {
  PositionSource source = PositionSource::kWholeBuffer;
  MixStamp* stamp = nullptr;  // where the notes go
  ma_device* device = nullptr;
  double rate = 0.0;                // output frames per second
  double periodSeconds = 0.0;       // the device's period
  double bufferSeconds = 0.0;       // all its periods
  std::int64_t producedFrames = 0;  // by the data callback, since the device opened
  HeardAnchor anchor;
  bool anchored = false;
  bool reported = false;  // the backend's own report has come
  // The latest mix that moved the song: its cursor at the end, and the output frame there.
  std::uint64_t songFrames = 0;
  std::int64_t songEndFrames = 0;
  std::uint32_t songEpoch = 0;
  bool songNoted = false;
  PulsePosition pulse;
  AlsaPosition alsa;
  WasapiPosition wasapi;
};

// After the device is initialised, before it starts: finds the backend's source and its functions.
void OpenOutputPosition(OutputPosition& position, ma_device& device, MixStamp& stamp);
// On the audio thread after each mix of `frameCount` frames: asks the backend where the listener
// is and notes the song. `songMixed`: the song exists and `cursorFrames` is its cursor after the
// mix; `epoch`: the seek the cursor had taken before the mix began. `moved`: the stream was moved
// to another sink since the last mix, so its reports start again.
void NotePositionAfterMix(OutputPosition& position, ma_uint32 frameCount, bool songMixed,
                          std::uint64_t cursorFrames, std::uint32_t epoch, bool moved = false);
// After the device has stopped, before it is uninitialised: releases what the source holds.
void CloseOutputPosition(OutputPosition& position);

// Hands the latest song note, dated by the current anchor, to the frame loop.
void PublishPosition(OutputPosition& position);

// Per source, each in its own file.
bool LookUpPulse(PulsePosition& pulse, ma_device& device);
void AskPulse(OutputPosition& position);
void RestartPulseReports(OutputPosition& position);
void ReleasePulse(PulsePosition& pulse);
bool LookUpAlsa(AlsaPosition& alsa, ma_device& device);
bool AskAlsa(OutputPosition& position, std::int64_t framesBefore, double hostSeconds);
bool AskWasapiClock(OutputPosition& position, std::int64_t framesBefore, double hostSeconds);
void ReleaseWasapiClock(WasapiPosition& wasapi);
void WatchPageContext(ma_device& device);
bool AskPageContext(OutputPosition& position, double hostSeconds);

}  // namespace tc
