// The song and its clock: miniaudio plays the song file (audio.mp3 in the resources folder) once
// (or from a chosen time), and what the listener hears of it is the demo's only clock.
#pragma once

#include "audio/output_device.h"
#include "audio/output_position.h"
#include "audio/output_watch.h"
#include "audio/song_clock.h"
#include "audio/song_handoff.h"
#include "base/resource_paths.h"
#include "base/status.h"

#include "miniaudio.h"

namespace tc {

// miniaudio's threads keep pointers into the player: a MusicPlayer must stay at one address from
// StartMusic until ShutdownMusic.
struct MusicPlayer {
  OutputDevice output;
  OutputRequest request;  // how the device was opened, for opening it again
  ma_engine engine;
  ma_sound song;
  bool engineReady = false;
  bool songReady = false;
  ma_uint32 songSampleRate = 0;
  SongClock clock;
  // Where the listener is in the output, found by the audio thread after each mix, and what it
  // shares with the frame loop and the output's watch.
  OutputPosition position;
  SongHandoff handoff;
  OutputWatch watch;
  double lastSongSeekHost = 0.0;  // the frame thread's latest seek to the show's position
};

// Starts the song at `startSeconds`; `mute` plays it at zero volume, its clock unchanged.
StartupStatus StartMusic(MusicPlayer& player, const ResourcePaths& resources, double startSeconds,
                         bool mute);
// The position heard now, or `leadSeconds` from now (when the frame being drawn will be on
// screen), in seconds: smooth, never backwards, held at the start (or the point sought) until
// the listener hears it.
float ReadSongClock(MusicPlayer& player, double leadSeconds = 0.0);
// Whether the listener has heard past where the song was started or last sought to (the clock
// reads that point until then). Reads the clock.
bool SongHeard(MusicPlayer& player);
// The library's own cursor, as the clock was before it was smoothed (0.0 when the query fails).
float ReadSongCursor(MusicPlayer& player);
// Moves the song to `seconds` and restarts the clock there (the clock may go back only here).
void SeekSong(MusicPlayer& player, double seconds);
// Waits until the listener hears the song's start (or the point a restart sought), calling
// `pumpEvents` so that a close or Escape meanwhile is seen (it returns true to stop waiting).
// Returns at once when the clock has started without the output.
void WaitUntilSongHeard(MusicPlayer& player, bool (*pumpEvents)());
// Stops the output's watch, the song, then the playback device.
void StopMusic(MusicPlayer& player);
// Uninitialises what StartMusic initialised.
void ShutdownMusic(MusicPlayer& player);

}  // namespace tc
