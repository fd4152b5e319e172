// The song and its clock through miniaudio's high-level engine: default playback device, the
// engine's own resource manager, the built-in MP3 decoder. The program sets none of the library's
// options; the song plays once, from its first frame, at unit gain.
#include "audio/music.h"

#include "audio/song_check.h"

namespace tc {

StartupStatus StartMusic(MusicPlayer& player, const ResourcePaths& resources) {
  // The library's own handling of a song it cannot open frees a node and then reads it: make sure
  // the file will open before the library sees it (and before any device is started).
  StartupStatus checked = CheckSongFile(resources.song);
  if (!checked.ok) return checked;
  // No configuration: the system's default device in its native format, started as the last step
  // of initialisation (it plays silence until the song starts).
  ma_result result = ma_engine_init(nullptr, &player.engine);
  if (result != MA_SUCCESS) {
    return StartupFailure("StartMusic: ma_engine_init failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  player.engineReady = true;

  // Flags 0: neither streamed nor pre-decoded nor loaded in the background. The call returns with
  // the whole encoded file in memory; decoding happens on the playback thread.
  result =
      ma_sound_init_from_file(&player.engine, resources.song, 0, nullptr, nullptr, &player.song);
  if (result != MA_SUCCESS) {
    // The engine's playback thread holds a pointer into the player, which lives in main's frame:
    // stop and free the engine before main returns rather than let that thread outlive it.
    ma_engine_uninit(&player.engine);
    player.engineReady = false;
    return StartupFailure("StartMusic: %s: ma_sound_init_from_file failed: %s (%d)", resources.song,
                          ma_result_description(result), static_cast<int>(result));
  }
  player.songReady = true;

  // Not examined: a song that fails to start reads as a clock that stays at 0.
  ma_sound_start(&player.song);
  return StartupOk();
}

float ReadSongClock(MusicPlayer& player) {
  // The library zeroes the float before anything else, so a failed query reads as 0.0.
  float seconds = 0.0f;
  ma_sound_get_cursor_in_seconds(&player.song, &seconds);
  return seconds;
}

void StopMusic(MusicPlayer& player) {
  if (player.songReady) ma_sound_stop(&player.song);
  // Returns once the playback thread has stopped the device.
  if (player.engineReady) ma_engine_stop(&player.engine);
}

void ShutdownMusic(MusicPlayer& player) {
  if (player.songReady) {
    ma_sound_uninit(&player.song);
    player.songReady = false;
  }
  if (player.engineReady) {
    ma_engine_uninit(&player.engine);
    player.engineReady = false;
  }
}

}  // namespace tc
