// The audio thread's note of its latest mix: how far the song's cursor had been mixed when the
// mix ended, the host time at which the listener hears that point (from the output's report of
// its own position), and the seek it belongs to. The frame loop reads it at each frame without
// ever calling into the sound library.
//
// One writer (the audio thread, which must never wait) and one reader (the frame loop). A sequence
// number, odd while a note is being written, lets the reader tell a note torn by a concurrent
// write; it then goes without, never blocking either side.
//
// Beside the note, and apart from its sequence, the pace of the mixes: when the latest one ran
// and how long a mix made then waits to be heard. The output's watch reads the first to tell an
// output that stopped taking sound; a seek reads both to land where the show will be when the
// sought sound is heard.
#pragma once

#include <atomic>
#include <cstdint>

namespace tc {

struct MixStamp {
  std::atomic<std::uint32_t> sequence{0};  // odd while being written; 0: nothing written yet
  std::atomic<std::uint64_t> cursorFrames{0};
  std::atomic<double> hostSeconds{0.0};
  std::atomic<std::uint32_t> epoch{0};   // the seek the cursor had taken when the mix began
  std::atomic<double> lastMixHost{0.0};  // 0: no mix yet
  std::atomic<double> queuedSeconds{0.0};
};

static_assert(std::atomic<double>::is_always_lock_free &&
                  std::atomic<std::uint64_t>::is_always_lock_free,
              "the audio thread must publish without locks");

inline void PublishMixStamp(MixStamp& stamp, std::uint64_t cursorFrames, double hostSeconds,
                            std::uint32_t epoch = 0) {
  const std::uint32_t sequence = stamp.sequence.load(std::memory_order_relaxed);
  stamp.sequence.store(sequence + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  stamp.cursorFrames.store(cursorFrames, std::memory_order_relaxed);
  stamp.hostSeconds.store(hostSeconds, std::memory_order_relaxed);
  stamp.epoch.store(epoch, std::memory_order_relaxed);
  stamp.sequence.store(sequence + 2, std::memory_order_release);
}

inline void PublishMixPace(MixStamp& stamp, double mixHostSeconds, double queuedSeconds) {
  stamp.queuedSeconds.store(queuedSeconds, std::memory_order_relaxed);
  stamp.lastMixHost.store(mixHostSeconds, std::memory_order_release);
}

// False, leaving the outputs alone, when nothing was published yet or a write was under way.
inline bool ReadMixStamp(const MixStamp& stamp, std::uint64_t& cursorFrames, double& hostSeconds,
                         std::uint32_t& epoch) {
  const std::uint32_t before = stamp.sequence.load(std::memory_order_acquire);
  if (before == 0 || (before & 1u) != 0) return false;
  const std::uint64_t frames = stamp.cursorFrames.load(std::memory_order_relaxed);
  const double host = stamp.hostSeconds.load(std::memory_order_relaxed);
  const std::uint32_t noteEpoch = stamp.epoch.load(std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (stamp.sequence.load(std::memory_order_relaxed) != before) return false;
  cursorFrames = frames;
  hostSeconds = host;
  epoch = noteEpoch;
  return true;
}

inline bool ReadMixStamp(const MixStamp& stamp, std::uint64_t& cursorFrames, double& hostSeconds) {
  std::uint32_t epoch = 0;
  return ReadMixStamp(stamp, cursorFrames, hostSeconds, epoch);
}

}  // namespace tc
