// The song as the demo hears it: decoded by miniaudio from the MP3, timed from its first decoded
// frame. Each beat's kick must start within 5 ms of k × 0.6 s, or the pictures drift off the music.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/support/kick_onset.h"
#include "miniaudio.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBeatFrames = 26460;  // 0.6 s at 44.1 kHz
constexpr int kMs = kRate / 1000;   // frames per millisecond (44)
constexpr double kToleranceSeconds = 0.005;

struct Song {
  bool decoded = false;
  ma_uint32 channels = 0, rate = 0;
  std::vector<float> mono;  // left and right averaged
  std::vector<float> left, right;
};

// Decodes the whole MP3 once for all the tests, as 32-bit float stereo at 44.1 kHz.
const Song& DecodedSong() {
  static Song song = [] {
    Song s;
    ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 2, kRate);
    ma_decoder decoder;
    if (ma_decoder_init_file(TC_RESOURCES_DIR "/audio.mp3", &config, &decoder) != MA_SUCCESS) {
      return s;
    }
    ma_format format;
    ma_decoder_get_data_format(&decoder, &format, &s.channels, &s.rate, nullptr, 0);
    std::vector<float> chunk(2 * 8192);
    for (;;) {
      ma_uint64 read = 0;
      const ma_result result = ma_decoder_read_pcm_frames(&decoder, chunk.data(), 8192, &read);
      for (ma_uint64 i = 0; i < read; ++i) {
        s.left.push_back(chunk[2 * i]);
        s.right.push_back(chunk[2 * i + 1]);
        s.mono.push_back(0.5f * (chunk[2 * i] + chunk[2 * i + 1]));
      }
      if (result != MA_SUCCESS || read == 0) break;
    }
    ma_decoder_uninit(&decoder);
    s.decoded = true;
    return s;
  }();
  return song;
}

// The beats that start with a kick: all of 1 to 290 but the break, 153 to 160. Beat 0 has none,
// since the decoder's first frames are the encoder's silent priming.
std::vector<int> KickBeats() {
  std::vector<int> beats;
  for (int b = 1; b <= 290; ++b) {
    if (b < 153 || b > 160) beats.push_back(b);
  }
  return beats;
}

// Checks every kick beat of `x`; returns the largest error in seconds and lists the misses.
double WorstOnsetError(const std::vector<float>& x, std::string* misses) {
  double worst = 0.0;
  for (int beat : KickBeats()) {
    const long expected = static_cast<long>(beat) * kBeatFrames;
    const long onset = tc::test::FindKickOnset(x, expected, kMs);
    const double error = onset < 0 ? 1.0 : std::fabs(static_cast<double>(onset - expected)) / kRate;
    if (error > kToleranceSeconds) {
      *misses += " " + std::to_string(beat) +
                 (onset < 0 ? "(none)" : "(" + std::to_string(error * 1000.0) + " ms)");
    }
    worst = std::max(worst, error);
  }
  return worst;
}

double Rms(const std::vector<float>& x, double from_beat, double to_beat) {
  const long a = static_cast<long>(from_beat * kBeatFrames);
  const long b = std::min(static_cast<long>(to_beat * kBeatFrames), static_cast<long>(x.size()));
  double sum = 0.0;
  for (long i = a; i < b; ++i)
    sum += static_cast<double>(x[i]) * x[i];
  return b > a ? std::sqrt(sum / static_cast<double>(b - a)) : 0.0;
}

double Db(double ratio) {
  return 20.0 * std::log10(ratio);
}

TEST(Song, DecodesAsStereoAt44100HzAndOutlastsTheTimeline) {
  const Song& song = DecodedSong();
  ASSERT_TRUE(song.decoded) << "cannot decode " TC_RESOURCES_DIR "/audio.mp3";
  EXPECT_EQ(song.channels, 2u);
  EXPECT_EQ(song.rate, static_cast<ma_uint32>(kRate));
  EXPECT_GE(song.mono.size(), 180u * kRate);
  // Both channels carry the music, and they are not one mono signal twice.
  EXPECT_GT(Rms(song.left, 0, 290), 0.05);
  EXPECT_GT(Rms(song.right, 0, 290), 0.05);
  double diff = 0.0;
  for (size_t i = 0; i < song.left.size(); ++i)
    diff += std::fabs(song.left[i] - song.right[i]);
  EXPECT_GT(diff / song.left.size(), 1e-3);
}

TEST(Song, EveryKickStartsWithin5MsOfItsBeat) {
  const Song& song = DecodedSong();
  ASSERT_TRUE(song.decoded);
  std::string misses;
  const double worst = WorstOnsetError(song.mono, &misses);
  EXPECT_TRUE(misses.empty()) << "beats off by more than 5 ms:" << misses;
  std::printf("largest onset error: %.2f ms over %zu beats\n", worst * 1000.0, KickBeats().size());
}

// The check above must be able to fail: the same song 10 ms late misses every beat.
TEST(Song, AudioTenMillisecondsLateFailsTheBeatCheck) {
  const Song& song = DecodedSong();
  ASSERT_TRUE(song.decoded);
  std::vector<float> late(10 * kMs, 0.0f);
  late.insert(late.end(), song.mono.begin(), song.mono.end());
  std::string misses;
  WorstOnsetError(late, &misses);
  size_t missed = static_cast<size_t>(std::count(misses.begin(), misses.end(), '('));
  EXPECT_EQ(missed, KickBeats().size());
}

TEST(Song, TheBreakBeforeTheSecondPeakHasNoKick) {
  const Song& song = DecodedSong();
  ASSERT_TRUE(song.decoded);
  for (int beat = 153; beat <= 160; ++beat) {
    EXPECT_EQ(tc::test::FindKickOnset(song.mono, static_cast<long>(beat) * kBeatFrames, kMs), -1)
        << "beat " << beat;
  }
}

TEST(Song, DynamicsFollowTheSections) {
  const Song& song = DecodedSong();
  ASSERT_TRUE(song.decoded);
  const std::vector<float>& x = song.mono;
  const double opening = Rms(x, 1, 32), wall = Rms(x, 32, 48), drop = Rms(x, 48, 65);
  const double ring = Rms(x, 65, 153), peak = Rms(x, 161, 183), ending = Rms(x, 295, 305);
  EXPECT_LT(Db(opening / drop), -6.0) << "the opening is quiet";
  EXPECT_LT(wall, drop) << "the wall lifts, the lattice drops";
  EXPECT_GT(wall, opening);
  EXPECT_GT(peak, ring) << "the second peak is the fullest part";
  EXPECT_GT(ending, 0.0) << "the song goes on after the timeline's end at 174 s";
  EXPECT_LT(ending, ring);
}

}  // namespace
