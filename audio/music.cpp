// The song and its clock through miniaudio's high-level engine, mixing into an output device the
// program opens itself (audio/output_device.cpp).
#include "audio/music.h"

#include <chrono>

#include "assets/song_file.h"

namespace tc {

namespace {

double HostSeconds() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// On the audio thread: mixing the engine's graph reads decoded memory only, and the note of where
// the song's cursor now stands is a few atomic stores, never a lock.
void MixEngine(ma_device* device, void* output, const void* /*input*/, ma_uint32 frameCount) {
  MusicPlayer& player = *static_cast<MusicPlayer*>(device->pUserData);
  ma_engine_read_pcm_frames(&player.engine, output, frameCount, nullptr);
  ma_uint64 frames = 0;
  if (player.songMixing.load(std::memory_order_acquire) &&
      ma_sound_get_cursor_in_pcm_frames(&player.song, &frames) == MA_SUCCESS) {
    PublishMixStamp(player.mixStamp, frames, HostSeconds());
  }
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

// The song's cursor in frames; 0 when the query fails.
ma_uint64 CursorFrames(MusicPlayer& player) {
  ma_uint64 frames = 0;
  if (player.songSampleRate == 0 ||
      ma_sound_get_cursor_in_pcm_frames(&player.song, &frames) != MA_SUCCESS) {
    return 0;
  }
  return frames;
}

SongClockConfig ClockConfig(const MusicPlayer& player) {
  SongClockConfig config;
  config.periodSeconds = OutputPeriodSeconds(player.output);
  // The clock aims below the cursor's steps: the latency it is given is counted from there.
  config.latencySeconds =
      OutputLatencySeconds(player.output) - kSongClockMarginPeriods * config.periodSeconds;
  return config;
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

float ReadSongClock(MusicPlayer& player) {
  const double host = HostSeconds();
  const ma_uint64 frames = CursorFrames(player);
  const double cursor =
      player.songSampleRate == 0 ? 0.0 : static_cast<double>(frames) / player.songSampleRate;
  const bool playing = ma_sound_is_playing(&player.song) == MA_TRUE;
  // The audio thread's note dates the cursor's value when it is of that same value (not while a
  // seek is pending, nor when the note was being rewritten).
  double since = -1.0;
  std::uint64_t notedFrames = 0;
  double notedHost = 0.0;
  if (ReadMixStamp(player.mixStamp, notedFrames, notedHost) && notedFrames == frames) {
    since = notedHost;
  }
  return static_cast<float>(AdvanceSongClock(player.clock, cursor, since, host, playing));
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
  ResetSongClock(player.clock, ClockConfig(player), seconds);
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
  CloseOutputDevice(player.output);
}

}  // namespace tc
