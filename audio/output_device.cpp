#include "audio/output_device.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

namespace tc {
namespace {

// Sized by measurement on a PulseAudio null sink, the whole song with the renderer and one busy
// process per core sharing two cores (docs/sync.md). The server's queue is about one period long,
// so a stall of the machine longer than that is a dropout: with 50 ms periods the server ran dry
// once in each of two runs, with 100 ms in two of the last seven (gaps of 71 and 147 ms); 200 ms
// played through in every run. The price is a coarser cursor (docs/benchmarks.md). Nothing here
// is interactive, and the latency is taken out of the clock.
#if defined(__EMSCRIPTEN__)
// On a page the browser's audio runs on its own thread and never starves behind our frames; the
// library rounds the period up to a power of two (4096 frames at 44.1 and 48 kHz).
constexpr ma_uint32 kPeriodMilliseconds = 80;
#else
constexpr ma_uint32 kPeriodMilliseconds = 200;
#endif
constexpr ma_uint32 kPeriodCount = 3;
#if defined(__EMSCRIPTEN__)

// What the page's AudioContext adds after a buffer leaves the script node: its own processing
// (baseLatency) and the way to the speaker (outputLatency), as the browser reports them now.
EM_JS(double, WebContextLatencySeconds, (int deviceIndex), {
  const device = window.miniaudio && window.miniaudio.get_device_by_index(deviceIndex);
  if (!device || !device.webaudio) return 0.0;
  const context = device.webaudio;
  return (context.baseLatency || 0) + (context.outputLatency || 0);
});
#endif

ma_result OpenWithPriority(OutputDevice& output, ma_thread_priority priority,
                           ma_device_data_proc callback, void* userData) {
  ma_context_config contextConfig = ma_context_config_init();
  contextConfig.threadPriority = priority;
  ma_device_config config = ma_device_config_init(ma_device_type_playback);
  config.playback.format = ma_format_f32;  // what the engine mixes in
  config.playback.channels = 0;            // native
  config.sampleRate = 0;                   // native
  config.periodSizeInMilliseconds = kPeriodMilliseconds;
  config.periods = kPeriodCount;
  config.dataCallback = callback;
  config.pUserData = userData;
  // Each backend in the library's order until one opens a device (PulseAudio, ALSA, ..., and
  // finally the silent Null device on a machine without sound): the device owns that context.
  const ma_result result = ma_device_init_ex(nullptr, 0, &contextConfig, &config, &output.device);
  if (result != MA_SUCCESS) return result;
  output.deviceReady = true;
  return MA_SUCCESS;
}

}  // namespace

StartupStatus OpenOutputDevice(OutputDevice& output, ma_device_data_proc callback, void* userData) {
  // A real-time audio thread needs the right to one (root, CAP_SYS_NICE or an rtprio limit); where
  // the system refuses it the thread is created at the highest ordinary priority instead.
  output.realtimeThread = true;
  ma_result result = OpenWithPriority(output, ma_thread_priority_realtime, callback, userData);
  if (result != MA_SUCCESS) {
    output.realtimeThread = false;
    result = OpenWithPriority(output, ma_thread_priority_highest, callback, userData);
  }
  if (result != MA_SUCCESS) {
    return StartupFailure("StartMusic: no playback device: ma_device_init failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  return StartupOk();
}

double OutputPeriodSeconds(const OutputDevice& output) {
  const ma_device& device = output.device;
  if (device.playback.internalSampleRate == 0) return 0.0;
  return static_cast<double>(device.playback.internalPeriodSizeInFrames) /
         static_cast<double>(device.playback.internalSampleRate);
}

double OutputLatencySeconds(const OutputDevice& output) {
  const double period = OutputPeriodSeconds(output);
#if defined(__EMSCRIPTEN__)
  // The script node plays each buffer it is handed one buffer later: the cursor at the end of a
  // mix leads what is heard by two periods, plus what the context reports after the node.
  return 2.0 * period + WebContextLatencySeconds(output.device.webaudio.deviceIndex);
#endif
  // The cursor stands at the end of the period just mixed, and PulseAudio queues up to its target
  // length (miniaudio asks for one period) and more in the sink: measured on a null sink, idle and
  // busy, the cursor at the end of a mix leads what leaves the sink by 2.4 periods with 200 ms
  // periods (1.9 with 100 ms). Elsewhere the device buffer is taken as full: all its periods.
  if (output.device.pContext != nullptr &&
      output.device.pContext->backend == ma_backend_pulseaudio) {
    return 2.4 * period;
  }
  return period * static_cast<double>(output.device.playback.internalPeriods);
}

void CloseOutputDevice(OutputDevice& output) {
  if (output.deviceReady) {
    ma_device_uninit(&output.device);  // stops it first when it runs, and ends its context
    output.deviceReady = false;
  }
}

}  // namespace tc
