#include "audio/output_device.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "audio/quiet_libraries.h"

namespace tc {
namespace {

// The period is the step in which the mix (and the song's cursor) advances. The song clock runs
// from the output's report of what is heard, not from these steps, so the period no longer
// carries the margin for a stalled machine (docs/sync.md).
#ifdef _WIN32
// WASAPI's audio clock dates the position whatever the period. Wine's driver, where the Windows
// build is tested, broke up with 50 ms periods (hundreds of underruns in a minute, with 3 or 12
// periods); 3 x 200 ms is what it was measured with before.
constexpr ma_uint32 kPeriodMilliseconds = 200;
constexpr ma_uint32 kPeriodCount = 3;
#elif defined(__EMSCRIPTEN__)
// On a page the browser's audio runs on its own thread and never starves behind our frames; the
// library rounds the period up to a power of two (4096 frames at 44.1 and 48 kHz).
constexpr ma_uint32 kPeriodMilliseconds = 80;
constexpr ma_uint32 kPeriodCount = 3;
#else
// Not shorter: PipeWire runs its whole graph at the smallest latency any client asks for, and
// 20 ms periods pulled it to 128-frame quanta that these two cores could not serve; with 50 ms
// the graph ran 2048-frame quanta. On PulseAudio and PipeWire the margin is the server's buffer,
// asked for once the device runs (output_position_pulse.cpp; the backend's own target is one
// period whatever the count); on ALSA it is the device buffer, all periods: 600 ms, what 3 x
// 200 ms gave before.
constexpr ma_uint32 kPeriodMilliseconds = 50;
constexpr ma_uint32 kPeriodCount = 12;
#endif

ma_result OpenWithPriority(OutputDevice& output, const OutputRequest& request,
                           ma_thread_priority priority, const ma_backend* backends,
                           ma_uint32 backendCount) {
  ma_context_config contextConfig = ma_context_config_init();
  contextConfig.threadPriority = priority;
  ma_device_config config = ma_device_config_init(ma_device_type_playback);
  config.playback.format = ma_format_f32;  // what the engine mixes in
  config.playback.channels = request.channels;
  config.sampleRate = request.sampleRate;
  config.periodSizeInMilliseconds = kPeriodMilliseconds;
  config.periods = kPeriodCount;
  config.dataCallback = request.callback;
  config.notificationCallback = request.notify;
  config.pUserData = request.userData;
  // Each backend in turn until one opens a device: the device owns that context.
  const ma_result result =
      ma_device_init_ex(backends, backendCount, &contextConfig, &config, &output.device);
  if (result != MA_SUCCESS) return result;
  output.deviceReady = true;
  output.backend = output.device.pContext->backend;
  return MA_SUCCESS;
}

ma_result Open(OutputDevice& output, const OutputRequest& request, const ma_backend* backends,
               ma_uint32 backendCount) {
  // A real-time audio thread needs the right to one (root, CAP_SYS_NICE or an rtprio limit); where
  // the system refuses it the thread is created at the highest ordinary priority instead.
  output.realtimeThread = true;
  ma_result result =
      OpenWithPriority(output, request, ma_thread_priority_realtime, backends, backendCount);
  if (result != MA_SUCCESS) {
    output.realtimeThread = false;
    result = OpenWithPriority(output, request, ma_thread_priority_highest, backends, backendCount);
  }
  return result;
}

// The backend TUMBLECRATE_AUDIO_BACKEND names, by the library's name for it in any case.
bool ForcedBackend(ma_backend& backend) {
  const char* name = std::getenv("TUMBLECRATE_AUDIO_BACKEND");
  if (name == nullptr || *name == '\0') return false;
  for (int i = 0; i < MA_BACKEND_COUNT; ++i) {
    if (strcasecmp(name, ma_get_backend_name(static_cast<ma_backend>(i))) == 0) {
      backend = static_cast<ma_backend>(i);
      return true;
    }
  }
  std::fprintf(stderr, "TUMBLECRATE_AUDIO_BACKEND: no sound backend is called %s: ignored\n", name);
  return false;
}

}  // namespace

StartupStatus OpenOutputDevice(OutputDevice& output, const OutputRequest& request) {
  // The libraries tried on the way (ALSA and JACK on a machine without sound) write their own
  // complaints to standard error unless told not to.
  QuietSoundLibraries();
  ma_backend forced = ma_backend_null;
  output.backendForced = ForcedBackend(forced);
  const ma_result result =
      output.backendForced ? Open(output, request, &forced, 1) : Open(output, request, nullptr, 0);
  if (result != MA_SUCCESS) {
    return StartupFailure("StartMusic: no playback device: ma_device_init failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  return StartupOk();
}

StartupStatus ReopenOutputDevice(OutputDevice& output, const OutputRequest& request) {
  const ma_backend backend = output.backend;
  const ma_result result = Open(output, request, &backend, 1);
  if (result != MA_SUCCESS) {
    return StartupFailure("%s: %s", ma_get_backend_name(backend), ma_result_description(result));
  }
  return StartupOk();
}

void CloseOutputDevice(OutputDevice& output) {
  if (output.deviceReady) {
    ma_device_uninit(&output.device);  // stops it first when it runs, and ends its context
    output.deviceReady = false;
  }
}

void DescribeOutputDevice(const OutputDevice& output, char* text, unsigned size) {
  std::snprintf(text, size, "%s, %s", ma_get_backend_name(output.backend),
                output.deviceReady ? output.device.playback.name : "no device");
}

}  // namespace tc
