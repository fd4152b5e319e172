// The sound of a capture: the song decoded by miniaudio exactly as the demo plays it (the MP3
// decoder keeps the encoder's priming samples, which the song's timing accounts for), from the
// sample at the first frame's time to the sample at the end of the last frame, as a 32-bit float
// WAV in an anonymous temporary file that the encoder reads and nobody has to delete.
#pragma once

#include <cstdint>

#include "base/resource_paths.h"
#include "base/status.h"
#include "capture/frame_plan.h"

namespace tc::capture {

struct SongTrack {
  int fd = -1;  // the WAV file, unlinked; read it through /dev/fd
  uint32_t sampleRate = 0;
  uint32_t channels = 0;
  int64_t frames = 0;  // per channel
};

// Decodes the song (audio.mp3 in the resources folder) and writes the plan's stretch of it. A song
// that ends before the last frame is padded with silence.
StartupStatus WriteSongTrack(const FramePlan& plan, const ResourcePaths& resources,
                             SongTrack& track);
void ReleaseSongTrack(SongTrack& track);

}  // namespace tc::capture
