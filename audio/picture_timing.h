// When a frame's picture is seen, against the song clock: a frame stays on the screen from its
// present to the next one, so it should show what is heard midway through that time. The clock is
// therefore read ahead by the time from reading it to presenting plus half the time between
// presents, each averaged over the last few frames. (Read for the present alone, every beat showed
// on average half a frame late.)
//
// The first frame of a run (and of a loop's restart) shows the song's start: drawn while the
// output's buffer fills, it is presented when the listener hears the start, and its times feed no
// average (the wait and any pause before a restart are no frame's time).
//
// Pure logic: the caller hands in the host times.
#pragma once

namespace tc {

struct PictureTiming {
  double presentLead = 0.0;    // reading the clock to presenting, averaged
  double frameInterval = 0.0;  // present to present, averaged
  double clockReadAt = 0.0;
  double presentedAt = 0.0;
  bool firstFrame = true;
};

// How far ahead of now the clock is read for the frame about to be drawn.
inline double PictureLeadSeconds(const PictureTiming& timing) {
  return timing.presentLead + 0.5 * timing.frameInterval;
}

// The frame's clock was read at host time `hostSeconds`.
inline void NoteClockRead(PictureTiming& timing, double hostSeconds) {
  timing.clockReadAt = hostSeconds;
}

// The frame was presented at host time `hostSeconds`.
void NotePresented(PictureTiming& timing, double hostSeconds);

// The next frame starts a run: it waits for the start to be heard and averages nothing.
inline void RestartPictureTiming(PictureTiming& timing) {
  timing.firstFrame = true;
}

// The picture's time for the heard time `heardSeconds`: a positive offset shows the picture later
// than the sound, never before `floorSeconds` (where the song (re)started).
float OffsetPictureSeconds(float heardSeconds, double avOffsetMs, double floorSeconds);

}  // namespace tc
