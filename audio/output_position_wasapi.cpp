// The position on WASAPI: the audio clock of the device's audio client, the position the speakers
// play, dated by the performance counter. The library creates a new audio client when it follows
// the default device to another one; the clock is then fetched again from the new client.
#include "audio/output_position.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: the audio client's interfaces need its types.
#include <audioclient.h>

namespace tc {

void ReleaseWasapiClock(WasapiPosition& wasapi) {
  if (wasapi.audioClock != nullptr) static_cast<IAudioClock*>(wasapi.audioClock)->Release();
  wasapi.audioClock = nullptr;
  wasapi.audioClient = nullptr;
}

bool AskWasapiClock(OutputPosition& position, std::int64_t framesBefore, double hostSeconds) {
  WasapiPosition& wasapi = position.wasapi;
  void* client = position.device->wasapi.pAudioClientPlayback;
  if (client == nullptr) return false;
  if (client != wasapi.audioClient) {
    // The clock held keeps its client alive, so a new client never reuses the old one's address.
    const bool rerouted = wasapi.audioClient != nullptr;
    ReleaseWasapiClock(wasapi);
    IAudioClock* clock = nullptr;
    if (FAILED(static_cast<IAudioClient*>(client)->GetService(__uuidof(IAudioClock),
                                                              reinterpret_cast<void**>(&clock)))) {
      return false;
    }
    UINT64 frequency = 0;
    if (FAILED(clock->GetFrequency(&frequency)) || frequency == 0) {
      clock->Release();
      return false;
    }
    wasapi.audioClient = client;
    wasapi.audioClock = clock;
    wasapi.clockFrequency = static_cast<double>(frequency);
    // A new client's stream starts with what is written to it from now on (give or take the
    // period the library was copying while it rerouted).
    wasapi.clockOriginFrames = rerouted ? framesBefore : 0;
  }
  UINT64 played = 0;
  UINT64 playedAt = 0;  // 100 ns units of the performance counter
  if (FAILED(static_cast<IAudioClock*>(wasapi.audioClock)->GetPosition(&played, &playedAt))) {
    return false;
  }
  LARGE_INTEGER counter;
  LARGE_INTEGER counterFrequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&counterFrequency);
  const double nowCounterSeconds =
      static_cast<double>(counter.QuadPart) / static_cast<double>(counterFrequency.QuadPart);
  const double age = nowCounterSeconds - static_cast<double>(playedAt) * 1e-7;
  position.anchor.frames = static_cast<double>(wasapi.clockOriginFrames) +
                           static_cast<double>(played) / wasapi.clockFrequency * position.rate;
  position.anchor.hostSeconds = hostSeconds - (age > 0.0 ? age : 0.0);
  return true;
}

}  // namespace tc

#else

namespace tc {

void ReleaseWasapiClock(WasapiPosition&) {}
bool AskWasapiClock(OutputPosition&, std::int64_t, double) {
  return false;
}

}  // namespace tc

#endif
