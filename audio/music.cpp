// The song and its clock through miniaudio's high-level engine, mixing into an output device the
// program opens itself (audio/output_device.cpp).
#include "audio/music.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "assets/song_file.h"

namespace tc {

namespace {

// On the audio thread: mixing the engine's graph reads decoded memory only; noting the song's
// cursor asks the output where the listener is (a call into its own client library at most) and
// publishes with a few atomic stores, never a lock.
void MixEngine(ma_device* device, void* output, const void* /*input*/, ma_uint32 frameCount) {
  MusicPlayer& player = *static_cast<MusicPlayer*>(device->pUserData);
  const MixTicket ticket = BeginMix(player.handoff);
  ma_uint64 frames = 0;
  bool songMixed = false;
  ma_engine_read_pcm_frames(&player.engine, output, frameCount, nullptr);
  songMixed =
      ticket.songMixing && ma_sound_get_cursor_in_pcm_frames(&player.song, &frames) == MA_SUCCESS;
  NotePositionAfterMix(player.position, frameCount, songMixed, frames, ticket.epoch, ticket.moved);
}

// On the device's thread: a stream the server moved to another sink is heard there from now on;
// one the server suspended is counted lost at once on PulseAudio, where a suspend stops the stream
// (and PipeWire's server never plays it again, even once it runs the sink again). Elsewhere a
// stop may be the library's own rerouting, which restarts the stream by itself.
void OnOutputNotice(const ma_device_notification* notice) {
  SongHandoff& handoff = static_cast<MusicPlayer*>(notice->pDevice->pUserData)->handoff;
  if (notice->type == ma_device_notification_type_rerouted) {
    handoff.moved.store(true, std::memory_order_release);
  } else if (notice->type == ma_device_notification_type_stopped &&
             notice->pDevice->pContext->backend == ma_backend_pulseaudio &&
             ma_device_get_state(notice->pDevice) == ma_device_state_started) {
    handoff.stopped.store(true, std::memory_order_release);
  }
}

// A seek that leaves the clock running: the song follows the show, not the other way round.
void MoveSong(MusicPlayer& player, double seconds) {
  const double frame = seconds * static_cast<double>(player.songSampleRate);
  ma_sound_seek_to_pcm_frame(&player.song, static_cast<ma_uint64>(frame + 0.5));
  CountSeek(player.handoff);
}

// On the frame thread, after each reading: where the sound has gone elsewhere in the song than
// the show (a stream moved or resumed with stale sound, an underrun), the song is sought to where
// the show will be when the sought sound is heard, behind what the output already holds. At most
// once a second: until the sought sound is heard the notes are of the old sound. An output the
// watch has opened again starts only after its seek: its first sound is heard at once, after the
// sink's own latency.
void KeepSongWithShow(MusicPlayer& player, const HeardNote* note, double now, double host) {
  constexpr double kSeekSpacingSeconds = 1.0;
  constexpr double kOutputStartSeconds = 0.05;
  const bool reopened = player.handoff.reopened.load(std::memory_order_acquire);
  const bool resync = player.handoff.resync.exchange(false, std::memory_order_acq_rel);
  const bool adrift = note != nullptr && SongAdrift(player.clock, *note, host) &&
                      now - player.lastSongSeekHost > kSeekSpacingSeconds;
  if (!reopened && !resync && !adrift) return;
  if (player.clock.heard) {
    const MixStamp& stamp = player.handoff.stamp;
    const double lastMix = stamp.lastMixHost.load(std::memory_order_acquire);
    const double queued = stamp.queuedSeconds.load(std::memory_order_relaxed);
    const double heardHost =
        reopened ? now + kOutputStartSeconds : NextMixHeardHost(lastMix, queued, now);
    MoveSong(player, SongSeekTarget(player.clock, host, heardHost));
    player.lastSongSeekHost = now;
  }
  if (reopened) player.handoff.reopened.store(false, std::memory_order_release);
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
  player.request = OutputRequest{};
  player.request.callback = MixEngine;
  player.request.notify = OnOutputNotice;
  player.request.userData = &player;
  status = OpenOutputDevice(player.output, player.request);
  if (!status.ok) return status;
  OpenOutputPosition(player.position, player.output.device, player.handoff.stamp);
  player.clock.noteLifetimeSeconds = NoteLifetimeSeconds(player.position.periodSeconds);

  ma_engine_config config = ma_engine_config_init();
  config.pDevice = &player.output.device;
  ma_result result = ma_engine_init(&config, &player.engine);
  if (result != MA_SUCCESS) {
    FailCleanly(player);
    return StartupFailure("StartMusic: ma_engine_init failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  player.engineReady = true;
  // A device opened again later mixes what the engine mixes, whatever its own rate.
  player.request.channels = ma_engine_get_channels(&player.engine);
  player.request.sampleRate = ma_engine_get_sample_rate(&player.engine);

  result = ma_sound_init_from_file(&player.engine, resources.song, SongLoadFlags(startSeconds),
                                   nullptr, nullptr, &player.song);
  if (result != MA_SUCCESS) {
    FailCleanly(player);
    return StartupFailure("StartMusic: %s: ma_sound_init_from_file failed: %s (%d)", resources.song,
                          ma_result_description(result), static_cast<int>(result));
  }
  player.songReady = true;
  player.handoff.songMixing.store(true, std::memory_order_release);
  ma_sound_get_data_format(&player.song, nullptr, nullptr, &player.songSampleRate, nullptr, 0);
  if (mute) ma_sound_set_volume(&player.song, 0.0f);
  // Known once the song is decoded (a late start); while it decodes in the background the clock
  // has no end of its own, and the show's timeline ends first.
  float lengthSeconds = 0.0f;
  if (ma_sound_get_length_in_seconds(&player.song, &lengthSeconds) == MA_SUCCESS &&
      lengthSeconds > 0.0f) {
    player.clock.endSeconds = static_cast<double>(lengthSeconds);
  }

  SeekSong(player, startSeconds);
  // Not examined: a song that fails to start reads as a clock that stays where it began.
  ma_sound_start(&player.song);
  result = ma_device_start(&player.output.device);
  if (result != MA_SUCCESS) {
    FailCleanly(player);
    return StartupFailure("StartMusic: ma_device_start failed: %s (%d)",
                          ma_result_description(result), static_cast<int>(result));
  }
  if (player.output.backend == ma_backend_null && !player.output.backendForced) {
    std::fprintf(stderr, "no sound output found: playing silently\n");
  }
  StartOutputWatch(player);
  return StartupOk();
}

float ReadSongClock(MusicPlayer& player, double leadSeconds) {
  const double now = MonotonicSeconds();
  const double host = now + leadSeconds;
  HeardNote note;
  // No note is trusted while the output takes no sound: a reopened device not yet played would
  // hold the clock at the little it was given.
  const bool noted = player.handoff.playing.load(std::memory_order_acquire) &&
                     ReadSongNote(player.handoff, static_cast<double>(player.songSampleRate), note);
  const double seconds = AdvanceSongClock(player.clock, noted ? &note : nullptr, host);
  KeepSongWithShow(player, noted ? &note : nullptr, now, host);
  return static_cast<float>(seconds);
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
  MoveSong(player, seconds);
  ResetSongClock(player.clock, seconds);
}

void WaitUntilSongHeard(MusicPlayer& player, bool (*pumpEvents)()) {
#if defined(__EMSCRIPTEN__)
  // A page may not block: there the audio starts with the show.
  (void)player;
  (void)pumpEvents;
#else
  // Gives up after a few seconds: the frames then show the start until it is heard.
  constexpr int kMaxWaitMilliseconds = 3000;
  for (int waited = 0; waited < kMaxWaitMilliseconds; ++waited) {
    if (pumpEvents() || SongHeard(player)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
#endif
}

void StopMusic(MusicPlayer& player) {
  // First: the watch may be opening a device.
  StopOutputWatch(player);
  if (player.songReady) ma_sound_stop(&player.song);
  // Returns once the audio thread has stopped the device.
  if (player.output.deviceReady) ma_device_stop(&player.output.device);
}

void ShutdownMusic(MusicPlayer& player) {
  StopOutputWatch(player);
  if (player.output.deviceReady) ma_device_stop(&player.output.device);
  player.handoff.songMixing.store(false, std::memory_order_release);
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
