// The position on PulseAudio, and on PipeWire through its PulseAudio server: the stream's timing
// report. The sound library iterates libpulse's main loop on the device's thread and calls the
// data callback there, so libpulse is called from the data callback and the completion and timer
// callbacks it starts, all on that thread; and, once the device has stopped and nothing iterates
// the loop, from the thread that releases the timer (ReleasePulse).
#include "audio/output_position.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <dlfcn.h>
#include <time.h>
#include <pulse/context.h>
#include <pulse/def.h>
#include <pulse/mainloop.h>
#include <pulse/operation.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#define TC_POSITION_PULSE 1
#endif

namespace tc {

#if TC_POSITION_PULSE
namespace {

// How often the server is asked: a report holds about as long as the output's clock keeps pace
// with the host's, and after an underrun the last one is stale until the next. Reports every
// 100 ms also see the read index step by two or three quanta where a graph reads in quanta.
constexpr double kRequestIntervalSeconds = 0.1;
// The server's target length: what is queued in the stream, and with it what a stall of the
// machine may last before the sink runs dry (the period no longer carries that margin; see
// docs/sync.md for the measurements behind the figure).
constexpr double kServerTargetSeconds = 0.4;

using UpdateTimingInfo = pa_operation* (*)(pa_stream*, pa_stream_success_cb_t, void*);
using GetTimingInfo = const pa_timing_info* (*)(pa_stream*);
using OperationUnref = void (*)(pa_operation*);
using SetBufferAttr = pa_operation* (*)(pa_stream*, const pa_buffer_attr*, pa_stream_success_cb_t,
                                        void*);
using RtClockNow = pa_usec_t (*)();
using RtTimeNew = pa_time_event* (*)(const pa_context*, pa_usec_t, pa_time_event_cb_t, void*);
using RtTimeRestart = void (*)(const pa_context*, pa_time_event*, pa_usec_t);
using MainloopApi = pa_mainloop_api* (*)(pa_mainloop*);

double BytesPerFrame(const OutputPosition& position) {
  const ma_device& device = *position.device;
  return static_cast<double>(
      ma_get_bytes_per_frame(device.playback.internalFormat, device.playback.internalChannels));
}

// When the server took the report, on the monotonic clock. The report carries it as wall-clock
// time (the server's, on a local server); the completion callback may run well after it on a
// busy machine, so the report is dated by that time, moved onto the monotonic clock by the two
// clocks' present difference. A wall clock that jumped (a time out of the last second) falls back
// to the arrival less the transport.
double SnapshotHostSeconds(const pa_timing_info& info, double arrivalHost) {
  timespec wall;
  clock_gettime(CLOCK_REALTIME, &wall);
  const double wallNow =
      static_cast<double>(wall.tv_sec) + static_cast<double>(wall.tv_nsec) * 1e-9;
  const double taken = static_cast<double>(info.timestamp.tv_sec) +
                       static_cast<double>(info.timestamp.tv_usec) * 1e-6;
  const double age = wallNow - taken;
  if (age >= 0.0 && age < 1.0) return arrivalHost - age;
  return arrivalHost - static_cast<double>(info.transport_usec) * 1e-6;
}

void OnTimingInfo(pa_stream* stream, int success, void* userData) {
  OutputPosition& position = *static_cast<OutputPosition*>(userData);
  const double host = MonotonicSeconds();
  const pa_timing_info* info =
      reinterpret_cast<GetTimingInfo>(position.pulse.getTimingInfo)(stream);
  if (success == 0 || info == nullptr || info->write_index_corrupt || info->read_index_corrupt) {
    return;
  }
  const double bytesPerFrame = BytesPerFrame(position);
  ServerReport report;
  report.hostSeconds = SnapshotHostSeconds(*info, host);
  report.writeFrames =
      static_cast<std::int64_t>(static_cast<double>(info->write_index) / bytesPerFrame);
  report.readFrames =
      static_cast<std::int64_t>(static_cast<double>(info->read_index) / bytesPerFrame);
  // Dated at the server's snapshot, the transport since is already counted.
  report.transportSeconds = 0.0;
  report.sinkSeconds = static_cast<double>(info->sink_usec) * 1e-6;
  // The write index counts what left the library's staging buffer: what the data callback
  // produced less what that buffer still holds. Produced frames and the write index count
  // alike, so the anchor dates every frame produced.
  position.anchor = AnchorFromReport(position.pulse.server, report);
  position.anchored = true;
  position.reported = true;
  PublishPosition(position);
}

void RequestTimingInfo(OutputPosition& position) {
  pa_operation* operation = reinterpret_cast<UpdateTimingInfo>(position.pulse.updateTimingInfo)(
      static_cast<pa_stream*>(position.pulse.stream), OnTimingInfo, &position);
  if (operation != nullptr) {
    reinterpret_cast<OperationUnref>(position.pulse.operationUnref)(operation);
  }
}

pa_usec_t NextRequestTime(const OutputPosition& position) {
  return reinterpret_cast<RtClockNow>(position.pulse.rtClockNow)() +
         static_cast<pa_usec_t>(kRequestIntervalSeconds * 1e6);
}

// A timer on the library's own main loop, so it fires on the device's thread: the server writes
// in bursts (a data callback only when it asks for more), and reports asked for from the data
// callback would all fall at the same point of its cycle.
void OnRequestTimer(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* userData) {
  OutputPosition& position = *static_cast<OutputPosition*>(userData);
  RequestTimingInfo(position);
  reinterpret_cast<RtTimeRestart>(position.pulse.rtTimeRestart)(
      static_cast<pa_context*>(position.pulse.context), event, NextRequestTime(position));
}

void AskForBuffer(OutputPosition& position, pa_stream* stream) {
  const double bytesPerSecond = BytesPerFrame(position) * position.rate;
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);  // else it stays at the library's periods
  attr.tlength = static_cast<std::uint32_t>(kServerTargetSeconds * bytesPerSecond);
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(position.periodSeconds * bytesPerSecond);
  attr.fragsize = static_cast<std::uint32_t>(-1);
  pa_operation* operation = reinterpret_cast<SetBufferAttr>(position.pulse.setBufferAttr)(
      stream, &attr, nullptr, nullptr);
  if (operation != nullptr)
    reinterpret_cast<OperationUnref>(position.pulse.operationUnref)(operation);
}

}  // namespace

bool LookUpPulse(PulsePosition& calls, ma_device& device) {
  void* library = device.pContext->pulse.pulseSO;
  calls.stream = device.pulse.pStreamPlayback;
  calls.context = device.pulse.pPulseContext;
  calls.mainloop = device.pulse.pMainLoop;
  if (library == nullptr || calls.stream == nullptr) return false;
  calls.updateTimingInfo = dlsym(library, "pa_stream_update_timing_info");
  calls.getTimingInfo = dlsym(library, "pa_stream_get_timing_info");
  calls.operationUnref = dlsym(library, "pa_operation_unref");
  calls.setBufferAttr = dlsym(library, "pa_stream_set_buffer_attr");
  calls.rtClockNow = dlsym(library, "pa_rtclock_now");
  calls.rtTimeNew = dlsym(library, "pa_context_rttime_new");
  calls.rtTimeRestart = dlsym(library, "pa_context_rttime_restart");
  calls.mainloopApi = dlsym(library, "pa_mainloop_get_api");
  return calls.updateTimingInfo != nullptr && calls.getTimingInfo != nullptr &&
         calls.operationUnref != nullptr && calls.setBufferAttr != nullptr &&
         calls.rtClockNow != nullptr && calls.rtTimeNew != nullptr &&
         calls.rtTimeRestart != nullptr && calls.mainloopApi != nullptr;
}

void AskPulse(OutputPosition& position) {
  // The first mixes fill the stream inside ma_device_start, on the thread that starts it: the
  // server is asked only from the device's own thread, once it runs.
  if (position.pulse.timer != nullptr ||
      ma_device_get_state(position.device) != ma_device_state_started) {
    return;
  }
  AskForBuffer(position, static_cast<pa_stream*>(position.pulse.stream));
  RequestTimingInfo(position);
  position.pulse.timer = reinterpret_cast<RtTimeNew>(position.pulse.rtTimeNew)(
      static_cast<pa_context*>(position.pulse.context), NextRequestTime(position), OnRequestTimer,
      &position);
}

// A stream moved to another sink is read by that sink from now on: its graph's quantum and its
// reports' phase start again, and the buffer is asked for again of the new sink.
void RestartPulseReports(OutputPosition& position) {
  position.pulse.server = ServerTimeline{};
  position.pulse.server.rate = position.rate;
  if (position.pulse.timer == nullptr) return;  // not asked yet: the first ask does it all
  AskForBuffer(position, static_cast<pa_stream*>(position.pulse.stream));
  RequestTimingInfo(position);
}

void ReleasePulse(PulsePosition& pulse) {
  if (pulse.timer == nullptr) return;
  pa_mainloop_api* api =
      reinterpret_cast<MainloopApi>(pulse.mainloopApi)(static_cast<pa_mainloop*>(pulse.mainloop));
  api->time_free(static_cast<pa_time_event*>(pulse.timer));
  pulse.timer = nullptr;
}

#else

bool LookUpPulse(PulsePosition&, ma_device&) {
  return false;
}
void AskPulse(OutputPosition&) {}
void RestartPulseReports(OutputPosition&) {}
void ReleasePulse(PulsePosition&) {}

#endif

}  // namespace tc
