// Starting the show part-way through: the choreography is brought to the state a 60 fps run from
// the beginning would have at the start time, and the beat in progress is announced.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "demo/transform.h"

namespace tc {

// The frame rate of the run a late start imitates.
constexpr int kReplayFramesPerSecond = 60;

// Writes the line the frame pass prints for `beat` when a frame at `songSeconds` announces it,
// without touching the run's state: the line for a beat the run has already passed over.
void AnnounceBeat(float beat, float songSeconds, std::ostream& beatLog);

// Replays the frames of a fresh 60 fps run that lie before `startSeconds` (drawing nothing), then
// writes to `beatLog` the line that run printed for the beat it is in, so the first line a viewer
// sees is the starting beat's. Returns the number of frames replayed (0 for a start at 0, which
// prints nothing: the first live frame announces beat 0).
int64_t ReplayToStart(DemoState& state, Mat4& projection, const ShapeTable& table,
                      double startSeconds, std::ostream& beatLog);

}  // namespace tc
