// The hand-off between the audio thread and the frame loop under ThreadSanitizer, with a real
// writer thread: the mix stamp, the pace of mixes, the seek epoch, the song-mixing and reopened
// flags, and the song clock reading the notes. Built on its own (ThreadSanitizer cannot share a
// binary with AddressSanitizer); a data race makes ThreadSanitizer fail the run.
//
// The writer plays a song that each seek moves to 10 s times the seek's number, so a note the
// frame loop takes after a seek must lie at or past that point: a note of the song as it was
// before the seek would be earlier.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "audio/song_handoff.h"

namespace {

constexpr double kRate = 44100.0;
constexpr std::uint64_t kFramesPerSeek = 441000;

double Now() {
  using Seconds = std::chrono::duration<double>;
  return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main() {
  tc::SongHandoff handoff;
  handoff.songMixing.store(true);
  std::atomic<bool> done{false};
  std::thread audio([&] {
    std::uint64_t cursor = 0;
    std::uint32_t applied = 0;
    while (!done.load(std::memory_order_relaxed)) {
      const tc::MixTicket ticket = tc::BeginMix(handoff);
      if (ticket.epoch != applied) {  // the seek asked for before this mix
        applied = ticket.epoch;
        cursor = applied * kFramesPerSeek;
      }
      if (ticket.songMixing) cursor += 512;
      const double host = Now();
      tc::PublishMixStamp(handoff.stamp, cursor, host + 0.1, ticket.epoch);
      tc::PublishMixPace(handoff.stamp, host, 0.1);
    }
  });

  tc::SongClock clock;
  tc::ResetSongClock(clock, 0.0);
  std::uint32_t seeks = 0;
  int stale = 0;
  int backwards = 0;
  int notes = 0;
  double last = 0.0;
  for (int i = 1; i <= 200000; ++i) {
    tc::HeardNote note;
    const bool noted = tc::ReadSongNote(handoff, kRate, note);
    if (noted) {
      ++notes;
      stale += note.mixedSeconds < static_cast<double>(seeks) * 10.0;
    }
    const double value = tc::AdvanceSongClock(clock, noted ? &note : nullptr, Now());
    backwards += value < last;
    last = value;
    if (i % 20000 == 0) {
      ++seeks;
      tc::CountSeek(handoff);
      tc::ResetSongClock(clock, static_cast<double>(seeks) * 10.0);
      last = clock.lastSeconds;
    }
    if (i % 5000 == 0) {
      handoff.songMixing.store(!handoff.songMixing.load());
      handoff.reopened.store(true);
      handoff.moved.store(true);
    }
    (void)handoff.stamp.lastMixHost.load(std::memory_order_acquire);
    (void)handoff.stamp.queuedSeconds.load(std::memory_order_relaxed);
    (void)handoff.reopened.exchange(false);
  }
  done.store(true);
  audio.join();
  std::printf("%d notes read, %d of a song before its seek, %d readings backwards\n", notes, stale,
              backwards);
  return notes > 0 && stale == 0 && backwards == 0 ? 0 : 1;
}
