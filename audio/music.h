// The song and its clock: miniaudio plays the song file (audio.mp3 in the resources folder) once,
// and the position up to which it has decoded the song is the demo's only clock.
#pragma once

#include "base/resource_paths.h"
#include "base/status.h"

#include "miniaudio.h"

namespace tc {

// miniaudio's playback thread keeps pointers to both members: a MusicPlayer must stay at one
// address from StartMusic until ShutdownMusic.
struct MusicPlayer {
  ma_engine engine;
  ma_sound song;
  bool engineReady = false;
  bool songReady = false;
};

StartupStatus StartMusic(MusicPlayer& player, const ResourcePaths& resources);
// Song position in seconds; 0.0 when the query fails.
float ReadSongClock(MusicPlayer& player);
// Stops the song, then the engine's playback device.
void StopMusic(MusicPlayer& player);
// Uninitialises what StartMusic initialised.
void ShutdownMusic(MusicPlayer& player);

}  // namespace tc
