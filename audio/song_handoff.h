// Everything the audio thread and the frame loop share about the song, none of it behind a lock:
// the audio thread must never wait, and the frame loop never calls into the sound library.
//   stamp       the audio thread's note of its latest mix (mix_stamp.h) and the pace of mixes;
//   songMixing  the song exists and may be read by the mix (false before it loads and from
//               shutdown on);
//   seekEpoch   counts the frame loop's seeks: a note from a mix that began before the latest
//               seek is not of the song as it is now;
//   reopened    the output's watch has opened the output again and starts it once the frame
//               loop has sought the song to the show's position (and cleared the flag);
//   stopped     the device's notification that its server stopped the stream unasked (a suspended
//               sink), for the output's watch;
//   playing     the output takes sound: false from a loss until a reopened output takes its
//               first mix, and the frame loop trusts no note meanwhile (a device not yet played
//               would hold the clock at the little it was given);
//   resync      the output's watch tells the frame loop that a reopened output began to play
//               only well after it started, so what it held is stale;
//   moved       the device's notification tells the audio thread that the stream now plays on
//               another sink.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/mix_stamp.h"
#include "audio/song_clock.h"

namespace tc {

struct SongHandoff {
  MixStamp stamp;
  std::atomic<bool> songMixing{false};
  std::atomic<std::uint32_t> seekEpoch{0};
  std::atomic<bool> reopened{false};
  std::atomic<bool> moved{false};
  std::atomic<bool> stopped{false};
  std::atomic<bool> playing{true};
  std::atomic<bool> resync{false};
};

// What the audio thread reads before each mix.
struct MixTicket {
  std::uint32_t epoch = 0;  // read before the mix: a seek asked for before it is applied by it
  bool songMixing = false;
  bool moved = false;
};

inline MixTicket BeginMix(SongHandoff& handoff) {
  MixTicket ticket;
  ticket.epoch = handoff.seekEpoch.load(std::memory_order_acquire);
  ticket.songMixing = handoff.songMixing.load(std::memory_order_acquire);
  ticket.moved = handoff.moved.exchange(false, std::memory_order_acq_rel);
  return ticket;
}

// The frame loop, after asking the sound library to seek.
inline void CountSeek(SongHandoff& handoff) {
  handoff.seekEpoch.fetch_add(1, std::memory_order_release);
}

// The frame loop: the latest note of the song as it is now (false while there is none), in song
// seconds at `sampleRate` song frames a second.
inline bool ReadSongNote(const SongHandoff& handoff, double sampleRate, HeardNote& note) {
  std::uint64_t frames = 0;
  std::uint32_t epoch = 0;
  if (sampleRate <= 0.0 || !ReadMixStamp(handoff.stamp, frames, note.heardHostSeconds, epoch) ||
      epoch != handoff.seekEpoch.load(std::memory_order_acquire)) {
    return false;
  }
  note.mixedSeconds = static_cast<double>(frames) / sampleRate;
  return true;
}

}  // namespace tc
