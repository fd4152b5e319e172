// Reports which miniaudio backend the engine opens here (under Wine: WASAPI, or Null when no
// output device can be opened), with the same engine set-up as the demo.
#include <cstdio>

#include "miniaudio.h"

int main() {
  ma_engine engine;
  const ma_result result = ma_engine_init(nullptr, &engine);
  if (result != MA_SUCCESS) {
    std::printf("audio-probe: ma_engine_init failed: %s\n", ma_result_description(result));
    return 1;
  }
  ma_device* device = ma_engine_get_device(&engine);
  std::printf("audio-probe: miniaudio backend %s, device \"%s\", %u Hz\n",
              ma_get_backend_name(device->pContext->backend), device->playback.name,
              device->sampleRate);
  ma_engine_uninit(&engine);
  return 0;
}
