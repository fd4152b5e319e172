// Where the sound handed to the output device is heard: the arithmetic behind each backend's
// report of its own position, kept apart from the sound library so tests can script the reports.
//
// Every backend's report comes down to one anchor: output frame F (counted from the first frame
// the data callback produced) reaches the listener at host time H. Frames after it are heard at
// the output's rate, so one anchor dates every frame mixed since.
#pragma once

#include <cstdint>

namespace tc {

struct HeardAnchor {
  double frames = 0.0;       // an output frame, counted as the data callback produced them
  double hostSeconds = 0.0;  // when the listener hears it, on the monotonic clock
};

// The host time at which output frame `frames` is heard, at `rate` frames per second.
inline double HeardHostOf(const HeardAnchor& anchor, double rate, double frames) {
  return anchor.hostSeconds + (frames - anchor.frames) / rate;
}

// A sound server's timing report on a playback stream, in frames and seconds.
struct ServerReport {
  double hostSeconds = 0.0;       // monotonic time the report reached the client
  std::int64_t writeFrames = 0;   // frames written into the stream so far (its write index)
  std::int64_t readFrames = 0;    // frames the server has taken from it (its read index)
  double transportSeconds = 0.0;  // from the server to the client
  double sinkSeconds = 0.0;       // the sink's own queue; 0 where the server does not say
};

// Reads a stream of reports. A server that hands the stream to a graph runs it in whole quanta:
// its read index moves only in multiples of the quantum, so the greatest common divisor of the
// recent steps shows the quantum (1 on a server that reads any amount).
constexpr int kQuantumSteps = 8;
// A common divisor this large is no accident of a few steps: it is a quantum.
constexpr std::int64_t kMinQuantumFrames = 32;

struct ServerTimeline {
  double rate = 44100.0;
  std::int64_t lastReadFrames = -1;  // -1: no report yet
  std::int64_t steps[kQuantumSteps] = {};
  int stepCount = 0;  // steps held, up to kQuantumSteps
  int nextStep = 0;   // where the next step goes
  // The recent reports' host time at which the stream's frame 0 was heard (by each alone).
  double origins[kQuantumSteps] = {};
  int originCount = 0;
  int nextOrigin = 0;
};

// The quantum the stream is read in, in frames, or 0 while the steps do not show one.
std::int64_t ServerQuantumFrames(const ServerTimeline& timeline);

// Where the read index moves in quanta, how far it runs ahead of the sound on the mean of a
// cycle's phases, in quanta: PipeWire's PulseAudio server advances it when the graph takes a
// quantum from the stream, at the start of a cycle, and the graph plays that quantum through the
// next cycle (dated by the graph's own cycles, the sync test found the sound 1.5 quanta later than
// the read index alone says: docs/sync.md).
constexpr double kQuantaReadAhead = 1.5;

// Takes one report and returns its anchor: the write index's frame is heard after what is queued
// in the stream, less the report's transport, plus the sink's queue. Where the read index moves in
// quanta (PipeWire's PulseAudio server), a report falls anywhere in the graph's cycle: the read
// side is then taken from the mean of the recent reports, moved by kQuantaReadAhead, and the write
// index from this one. (That server reports no sink queue.)
HeardAnchor AnchorFromReport(ServerTimeline& timeline, const ServerReport& report);

}  // namespace tc
