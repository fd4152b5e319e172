// Measures how many frames an MP3 decoder puts in front of the audio that was encoded.
//
//   asset-mp3-delay REFERENCE.wav ENCODED.mp3
//
// Both files are decoded with miniaudio, the decoder the demo plays its song with, and the lag
// (0 to 4096 frames) at which the decoded MP3 best matches the reference is printed on standard
// output. The song generator moves the song earlier by that many frames.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "miniaudio.h"

namespace {

constexpr int kMaxLag = 4096;

// Decodes the whole file to mono 32-bit floats at 44.1 kHz.
bool DecodeMono(const char* path, std::vector<float>* out) {
  ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 1, 44100);
  ma_decoder decoder;
  if (ma_decoder_init_file(path, &config, &decoder) != MA_SUCCESS) return false;
  float chunk[4096];
  for (;;) {
    ma_uint64 read = 0;
    const ma_result result = ma_decoder_read_pcm_frames(&decoder, chunk, 4096, &read);
    out->insert(out->end(), chunk, chunk + read);
    if (result != MA_SUCCESS || read == 0) break;
  }
  ma_decoder_uninit(&decoder);
  return !out->empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "asset-mp3-delay: usage: asset-mp3-delay REFERENCE.wav ENCODED.mp3\n");
    return 1;
  }
  std::vector<float> reference, decoded;
  if (!DecodeMono(argv[1], &reference) || !DecodeMono(argv[2], &decoded)) {
    std::fprintf(stderr, "asset-mp3-delay: cannot decode %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  int best_lag = -1;
  double best = -1.0;
  for (int lag = 0; lag <= kMaxLag; ++lag) {
    double sum = 0.0;
    const size_t n =
        std::min(reference.size(), decoded.size() - std::min<size_t>(decoded.size(), lag));
    for (size_t i = 0; i < n; ++i)
      sum += static_cast<double>(reference[i]) * decoded[i + lag];
    if (sum > best) {
      best = sum;
      best_lag = lag;
    }
  }
  if (best <= 0.0) {
    std::fprintf(stderr, "asset-mp3-delay: the two files do not correlate\n");
    return 1;
  }
  std::printf("%d\n", best_lag);
  return 0;
}
