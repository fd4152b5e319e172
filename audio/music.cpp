// The song and its clock through miniaudio's high-level engine, mixing into an output device the
// program opens itself (audio/output_device.cpp).
#include "audio/music.h"

#include "assets/song_file.h"

namespace tc {

namespace {

// On the audio thread: mixing the engine's graph reads decoded memory only; noting the song's
// cursor asks the output where the listener is (a call into its own client library at most) and
// publishes with a few atomic stores, never a lock.
void MixEngine(ma_device* device, void* output, const void* /*input*/, ma_uint32 frameCount) {
  MusicPlayer& player = *static_cast<MusicPlayer*>(device->pUserData);
  // Read before the mix: a seek asked for before this mix is applied by it.
  const std::uint32_t epoch = player.seekEpoch.load(std::memory_order_acquire);
  ma_engine_read_pcm_frames(&player.engine, output, frameCount, nullptr);
  ma_uint64 frames = 0;
  const bool songMixed = player.songMixing.load(std::memory_order_acquire) &&
                         ma_sound_get_cursor_in_pcm_frames(&player.song, &frames) == MA_SUCCESS;
  NotePositionAfterMix(player.position, frameCount, songMixed, frames, epoch);
}

// The song is decoded into memory ahead of the audio thread, which then only copies samples and
// never runs the MP3 decoder under pressure from the renderer. Decoding the whole song takes
// 0.5-0.8 s on a busy two-core machine, so a run from the start lets the library's job thread
// decode it in the background (hundreds of times faster than it plays: it stays far ahead) and
// starts at once. A late start waits for the whole song, so the seek lands on decoded samples.
// A page has no threads for the library's jobs: there the song is always decoded before it starts.
ma_uint32 SongLoadFlags(double startSeconds) {
#if defined(__EMSCRIPTEN__)
  (void)startSeconds;
  return MA_SOUND_FLAG_DECODE;
#endif
  return startSeconds > 0.0 ? MA_SOUND_FLAG_DECODE : MA_SOUND_FLAG_DECODE | MA_SOUND_FLAG_ASYNC;
}

void FailCleanly(MusicPlayer& player) {
  // The audio thread holds pointers into the player, which lives in main's frame: stop and free
  // everything before main returns rather than let that thread outlive it.
  ShutdownMusic(player);
}

}  // namespace

StartupStatus StartMusic(MusicPlayer& player, const ResourcePaths& resources, double startSeconds,
                         bool mute) {
  // The library's own handling of a song it cannot open frees a node and then reads it: make sure
  // the file will open before the library sees it (and before any device is started).
  StartupStatus status = CheckSongFile(resources.song);
  if (!status.ok) return status;
  status = OpenOutputDevice(player.output, MixEngine, &player);
  if (!status.ok) return status;
  OpenOutputPosition(player.position, player.output.device, player.mixStamp);

  ma_engine_config config = ma_engine_config_init();
  config.pDevice = &player.output.device;
  ma_result result = ma_engine_init(&config, &player.engine);
  if (result != MA_SUCCESS) {
    FailCleanly(player);
    return StartupFailure("StartMusic: ma_engine_init failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  player.engineReady = true;

  result = ma_sound_init_from_file(&player.engine, resources.song, SongLoadFlags(startSeconds),
                                   nullptr, nullptr, &player.song);
  if (result != MA_SUCCESS) {
    FailCleanly(player);
    return StartupFailure("StartMusic: %s: ma_sound_init_from_file failed: %s (%d)", resources.song,
                          ma_result_description(result), static_cast<int>(result));
  }
  player.songReady = true;
  player.songMixing.store(true, std::memory_order_release);
  ma_sound_get_data_format(&player.song, nullptr, nullptr, &player.songSampleRate, nullptr, 0);
  if (mute) ma_sound_set_volume(&player.song, 0.0f);

  SeekSong(player, startSeconds);
  // Not examined: a song that fails to start reads as a clock that stays where it began.
  ma_sound_start(&player.song);
  result = ma_device_start(&player.output.device);
  if (result != MA_SUCCESS) {
    FailCleanly(player);
    return StartupFailure("StartMusic: ma_device_start failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  return StartupOk();
}

float ReadSongClock(MusicPlayer& player, double leadSeconds) {
  const double host = MonotonicSeconds() + leadSeconds;
  std::uint64_t frames = 0;
  HeardNote note;
  std::uint32_t epoch = 0;
  const bool noted = player.songSampleRate != 0 &&
                     ReadMixStamp(player.mixStamp, frames, note.heardHostSeconds, epoch) &&
                     epoch == player.seekEpoch.load(std::memory_order_relaxed);
  note.mixedSeconds = static_cast<double>(frames) / static_cast<double>(player.songSampleRate);
  return static_cast<float>(AdvanceSongClock(player.clock, noted ? &note : nullptr, host));
}

bool SongHeard(MusicPlayer& player) {
  ReadSongClock(player);
  return player.clock.heard;
}

float ReadSongCursor(MusicPlayer& player) {
  float seconds = 0.0f;
  ma_sound_get_cursor_in_seconds(&player.song, &seconds);
  return seconds;
}

void SeekSong(MusicPlayer& player, double seconds) {
  // Applied by the audio thread at its next period; until then the cursor reads the target.
  const double frame = seconds * static_cast<double>(player.songSampleRate);
  ma_sound_seek_to_pcm_frame(&player.song, static_cast<ma_uint64>(frame + 0.5));
  player.seekEpoch.fetch_add(1, std::memory_order_release);
  ResetSongClock(player.clock, seconds);
}

void StopMusic(MusicPlayer& player) {
  if (player.songReady) ma_sound_stop(&player.song);
  // Returns once the audio thread has stopped the device.
  if (player.output.deviceReady) ma_device_stop(&player.output.device);
}

void ShutdownMusic(MusicPlayer& player) {
  if (player.output.deviceReady) ma_device_stop(&player.output.device);
  player.songMixing.store(false, std::memory_order_release);
  if (player.songReady) {
    ma_sound_uninit(&player.song);
    player.songReady = false;
  }
  if (player.engineReady) {
    ma_engine_uninit(&player.engine);
    player.engineReady = false;
  }
  CloseOutputPosition(player.position);
  CloseOutputDevice(player.output);
}

}  // namespace tc
