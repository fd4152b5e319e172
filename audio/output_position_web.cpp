// The position on a page: Web Audio's AudioContext. The page's thread mixes, inside the script
// node's event, so the context may be asked there.
#include "audio/output_position.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>

namespace tc {
namespace {

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

}  // namespace

void WatchPageContext(ma_device& device) {
  WatchScriptNodePlaybackTime(device.webaudio.deviceIndex);
}

bool AskPageContext(OutputPosition& position, double hostSeconds) {
  position.anchor.frames = static_cast<double>(position.producedFrames);
  position.anchor.hostSeconds =
      hostSeconds +
      WebSecondsUntilMixEndHeard(position.device->webaudio.deviceIndex, position.periodSeconds);
  return true;
}

}  // namespace tc

#else

namespace tc {

void WatchPageContext(ma_device&) {}
bool AskPageContext(OutputPosition&, double) {
  return false;
}

}  // namespace tc

#endif
