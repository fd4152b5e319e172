// The position on ALSA: the PCM's delay.
#include "audio/output_position.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#define TC_POSITION_ALSA 1
#endif

namespace tc {

#if TC_POSITION_ALSA

bool LookUpAlsa(AlsaPosition& alsa, ma_device& device) {
  alsa.pcm = device.alsa.pPCMPlayback;
  alsa.delay = dlsym(device.pContext->alsa.asoundSO, "snd_pcm_delay");
  return alsa.pcm != nullptr && alsa.delay != nullptr;
}

// The data callback runs on the thread that writes the PCM, between writes: the delay then counts
// every frame written before this mix. (The library writes through a small staging buffer, so the
// frames it still holds make the estimate early by at most that buffer, 512 frames at most.)
bool AskAlsa(OutputPosition& position, std::int64_t framesBefore, double hostSeconds) {
  using Delay = int (*)(snd_pcm_t*, snd_pcm_sframes_t*);
  snd_pcm_sframes_t delay = 0;
  if (reinterpret_cast<Delay>(position.alsa.delay)(static_cast<snd_pcm_t*>(position.alsa.pcm),
                                                   &delay) != 0) {
    return false;  // an underrun or a suspended PCM: the last anchor stays
  }
  position.anchor.frames = static_cast<double>(framesBefore);
  position.anchor.hostSeconds =
      hostSeconds + static_cast<double>(delay > 0 ? delay : 0) / position.rate;
  return true;
}

#else

bool LookUpAlsa(AlsaPosition&, ma_device&) {
  return false;
}
bool AskAlsa(OutputPosition&, std::int64_t, double) {
  return false;
}

#endif

}  // namespace tc
