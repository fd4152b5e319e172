// zephyrine-capture run as a user runs it, without any X display: what it writes (read back with
// ffprobe and ffmpeg), how its frames and sound line up with the demo's own, and how it refuses
// bad arguments and stops on signals without leaving files or processes behind.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/kick_onset.h"
#include "miniaudio.h"
#include "test_files.h"

namespace {

using tc::test::FileExists;
using tc::test::MakeScratchDir;
using tc::test::ReadFile;
using tc::test::RemoveTree;

constexpr int kRate = 44100;
constexpr size_t kFrame720 = 1280 * 720 * 3;  // one RGB24 frame

struct Outcome {
  int exitCode = -1;  // -1 when ended by a signal
  std::string out;
  std::string err;
};

// Starts `argv` in `cwd` with stdout and stderr into files; `env` entries "NAME=value" replace
// the inherited ones.
pid_t Start(const std::vector<std::string>& argv, const std::string& cwd,
            const std::string& outPath, const std::string& errPath,
            const std::vector<std::string>& env = {}) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (chdir(cwd.c_str()) != 0) _exit(126);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(out, 1);
  dup2(err, 2);
  for (const std::string& e : env) {
    const size_t eq = e.find('=');
    setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
  }
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

Outcome Wait(pid_t pid, const std::string& outPath, const std::string& errPath) {
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome o;
  o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = ReadFile(outPath);
  o.err = ReadFile(errPath);
  return o;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
        names.push_back(e->d_name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Process ids whose command line mentions `text` (the scratch folder: only our ffmpeg does).
std::vector<pid_t> ProcessesMentioning(const std::string& text) {
  std::vector<pid_t> pids;
  for (const std::string& name : ListDir("/proc")) {
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string cmdline = ReadFile("/proc/" + name + "/cmdline");
    if (cmdline.find(text) != std::string::npos) pids.push_back(std::stoi(name));
  }
  return pids;
}

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeScratchDir("capture");
    ASSERT_FALSE(dir_.empty());
  }
  void TearDown() override { RemoveTree(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // The capture tool in the source tree (where resources/ is), with `args`.
  Outcome RunCapture(const std::vector<std::string>& args, const std::vector<std::string>& env = {},
                     const std::string& cwd = TC_SOURCE_DIR) {
    std::vector<std::string> argv = {TC_CAPTURE_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, env, cwd);
  }

  Outcome Run(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
              const std::string& cwd = TC_SOURCE_DIR) {
    const std::string out = dir_ + "/.stdout", err = dir_ + "/.stderr";
    const Outcome o = Wait(Start(argv, cwd, out, err, env), out, err);
    unlink(out.c_str());
    unlink(err.c_str());
    return o;
  }

  // Runs a helper program that must succeed.
  void MustRun(const std::vector<std::string>& argv) {
    const Outcome o = Run(argv);
    ASSERT_EQ(o.exitCode, 0) << argv[0] << " failed: " << o.err;
  }

  // The video decoded to RGB24, converting YUV back with the BT.709 matrix the file is tagged with.
  std::string DecodeRgb(const std::string& file) {
    const std::string raw = file + ".rgb";
    MustRun({"ffmpeg", "-v", "error", "-y", "-i", file, "-map", "0:v:0", "-vf",
             "scale=in_color_matrix=bt709:in_range=tv:flags=accurate_rnd+full_chroma_int,"
             "format=rgb24",
             "-f", "rawvideo", raw});
    return ReadFile(raw);
  }

  // The first audio track decoded to interleaved 32-bit float.
  std::vector<float> DecodeAudio(const std::string& file, int* channels) {
    const std::string raw = file + ".f32";
    MustRun({"ffmpeg", "-v", "error", "-y", "-i", file, "-map", "0:a:0", "-f", "f32le", "-c:a",
             "pcm_f32le", raw});
    const std::string probe = Probe(file, "a:0", "stream=channels");
    *channels = std::atoi(probe.c_str() + probe.find('=') + 1);
    const std::string bytes = ReadFile(raw);
    std::vector<float> samples(bytes.size() / 4);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
    return samples;
  }

  // ffprobe's "key=value" lines for one stream.
  std::string Probe(const std::string& file, const std::string& stream, const std::string& entries,
                    bool countFrames = false) {
    std::vector<std::string> argv = {"ffprobe", "-v", "error", "-select_streams", stream};
    if (countFrames) argv.push_back("-count_frames");
    const std::vector<std::string> rest = {"-show_entries", entries, "-of", "default=nw=1", file};
    argv.insert(argv.end(), rest.begin(), rest.end());
    const Outcome o = Run(argv);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    return o.out;
  }

  // Frames FIRST .. FIRST + COUNT - 1 at 720p through the demo's plain render path.
  std::string ReferenceFrames(int fps, long first, long count) {
    const std::string raw = Path("reference.rgb");
    MustRun({TC_REFERENCE_EXE, "720", std::to_string(fps), std::to_string(first),
             std::to_string(count), raw});
    return ReadFile(raw);
  }

  std::string dir_;
};

std::map<std::string, std::string> KeyValues(const std::string& text) {
  std::map<std::string, std::string> values;
  for (const std::string& line : Lines(text)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

// --- What the files hold ------------------------------------------------------------------------

TEST_F(Capture, SectionHasExactFrameCountDurationAndOneH264AndOneAacStream) {
  const std::string out = Path("section.mp4");
  const Outcome o =
      RunCapture({"--size", "720", "--fps", "30", "--from", "28.5", "--to", "30.5", out});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_TRUE(o.out.empty()) << "standard output must stay empty: " << o.out;
  EXPECT_EQ(ListDir(dir_), std::vector<std::string>{"section.mp4"}) << "no temporary file left";

  const auto streams = Lines(Probe(out, "", "stream=codec_type"));
  EXPECT_EQ(streams, (std::vector<std::string>{"codec_type=video", "codec_type=audio"}));
  auto video = KeyValues(Probe(out, "v:0",
                               "stream=codec_name,profile,pix_fmt,width,height,r_frame_rate,"
                               "nb_read_frames,duration,color_space,color_transfer,"
                               "color_primaries",
                               true));
  EXPECT_EQ(video["codec_name"], "h264");
  EXPECT_EQ(video["profile"], "High");
  EXPECT_EQ(video["pix_fmt"], "yuv420p");
  EXPECT_EQ(video["width"] + "x" + video["height"], "1280x720");
  EXPECT_EQ(video["r_frame_rate"], "30/1");
  EXPECT_EQ(video["nb_read_frames"], "60");
  EXPECT_DOUBLE_EQ(std::atof(video["duration"].c_str()), 2.0);
  EXPECT_EQ(video["color_space"], "bt709");
  EXPECT_EQ(video["color_transfer"], "bt709");
  EXPECT_EQ(video["color_primaries"], "bt709");
  auto audio = KeyValues(
      Probe(out, "a:0", "stream=codec_name,profile,sample_rate,channels,duration,bit_rate"));
  EXPECT_EQ(audio["codec_name"], "aac");
  EXPECT_EQ(audio["profile"], "LC");
  EXPECT_EQ(audio["sample_rate"], "44100");
  EXPECT_EQ(audio["channels"], "2");
  // The sound is cut at the last frame's end; AAC's 1024-sample packets are trimmed by the
  // file's edit list, which readers honour to within a millisecond.
  EXPECT_NEAR(std::atof(audio["duration"].c_str()), 2.0, 0.001);
  EXPECT_GE(std::atoi(audio["bit_rate"].c_str()), 192000);
}

// Like the demo, a capture ends with the first frame whose beat exceeds 289: at 10 fps that is
// frame 1740 at 174.0 s (174 / 0.6 rounds to beat 290 in single precision), so 173.5 s on gives
// frames 1735 to 1740.
TEST_F(Capture, DefaultEndIsTheFirstFrameWhoseBeatExceeds289) {
  const std::string out = Path("end.mp4");
  const Outcome o = RunCapture({"--size", "720", "--fps", "10", "--from", "173.5", out});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(KeyValues(Probe(out, "v:0", "stream=nb_read_frames", true))["nb_read_frames"], "6");
  // Nothing lies after it: a start after it is refused.
  EXPECT_EQ(RunCapture({"--size", "720", "--fps", "10", "--from", "174.05", out}).exitCode, 2);
}

// The pipelined read-back (pixel-pack buffers, flipped rows, the pipe) must hand the encoder
// exactly what the render verbs drew; the lossless master must keep it; a still must be the same
// frame as the video at that time, a decimal time included.
TEST_F(Capture, LosslessFramesEqualTheDemoRendersAndTheStills) {
  const std::string master = Path("master.mkv");
  Outcome o = RunCapture(
      {"--size", "720", "--fps", "10", "--from", "100", "--to", "100.5", "--lossless", master});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  auto video = KeyValues(Probe(master, "v:0", "stream=codec_name", false));
  EXPECT_EQ(video["codec_name"], "ffv1");
  EXPECT_EQ(KeyValues(Probe(master, "a:0", "stream=codec_name"))["codec_name"], "flac");

  const std::string frames = DecodeRgb(master);
  ASSERT_EQ(frames.size(), 5 * kFrame720);
  const std::string reference = ReferenceFrames(10, 1000, 5);
  ASSERT_EQ(reference.size(), frames.size());
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(frames.compare(i * kFrame720, kFrame720, reference, i * kFrame720, kFrame720) == 0)
        << "frame " << 1000 + i << " differs from the demo's render";
  }
  // A lit frame: the comparison above is not between two black pictures.
  EXPECT_GT(std::count_if(frames.begin(), frames.begin() + kFrame720, [](char c) { return c; }),
            100000);

  for (const auto& [time, index] : {std::pair<const char*, int>{"100", 0}, {"100.2", 2}}) {
    const std::string still = Path(std::string("still-") + time + ".png");
    o = RunCapture({"--size", "720", "--fps", "10", "--still", time, still});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::string pixels = DecodeRgb(still);
    ASSERT_EQ(pixels.size(), kFrame720);
    EXPECT_TRUE(pixels.compare(0, kFrame720, frames, index * kFrame720, kFrame720) == 0)
        << "--still " << time << " differs from frame " << index << " of the capture";
  }
}

// YUV 4:2:0 itself costs more than the encoder on this picture: the lattice's fine coloured tiles
// lose about 22 dB in RGB to the halved chroma alone. So the encoder is judged where it works,
// against the demo's frames converted to 4:2:0 the same way.
TEST_F(Capture, H264AtCrf18StaysAbove40DbOfTheFramesIn420) {
  const std::string video = Path("crf18.mp4");
  const Outcome o =
      RunCapture({"--size", "720", "--fps", "10", "--from", "100", "--to", "101", video});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const std::string referenceRgb = ReferenceFrames(10, 1000, 10);
  tc::test::WriteFile(Path("reference.rgb"), referenceRgb);
  const std::string conversion =
      "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int,"
      "format=yuv420p";
  MustRun({"ffmpeg", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
           "1280x720", "-i", Path("reference.rgb"), "-vf", conversion, "-f", "rawvideo",
           Path("reference.yuv")});
  MustRun({"ffmpeg", "-v", "error", "-y", "-i", video, "-f", "rawvideo", "-pix_fmt", "yuv420p",
           Path("decoded.yuv")});
  const std::string a = ReadFile(Path("reference.yuv")), b = ReadFile(Path("decoded.yuv"));
  const size_t frameBytes = 1280 * 720 * 3 / 2;
  ASSERT_EQ(a.size(), 10 * frameBytes);
  ASSERT_EQ(b.size(), a.size());
  double worst = 1e9, totalError = 0.0;
  for (size_t f = 0; f < 10; ++f) {
    double error = 0.0;
    for (size_t i = f * frameBytes; i < (f + 1) * frameBytes; ++i) {
      const double d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
      error += d * d;
    }
    totalError += error;
    worst = std::min(worst, 10.0 * std::log10(255.0 * 255.0 * frameBytes / error));
  }
  const double average = 10.0 * std::log10(255.0 * 255.0 * 10 * frameBytes / totalError);
  std::printf("H.264 CRF 18 at 100-101 s, 720p: PSNR %.2f dB overall, %.2f dB worst frame\n",
              average, worst);
  EXPECT_GE(average, 40.0);
  EXPECT_GE(worst, 39.0);
}

// A section is a slice of the whole: the same pictures and the same samples.
TEST_F(Capture, SectionEqualsTheSameFramesAndSamplesOfACaptureFromZero) {
  const std::string whole = Path("whole.mkv"), section = Path("section.mkv");
  Outcome o = RunCapture({"--size", "720", "--fps", "10", "--to", "3", "--lossless", whole});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  o = RunCapture(
      {"--size", "720", "--fps", "10", "--from", "2", "--to", "3", "--lossless", section});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const std::string wholeFrames = DecodeRgb(whole), sectionFrames = DecodeRgb(section);
  ASSERT_EQ(wholeFrames.size(), 30 * kFrame720);
  ASSERT_EQ(sectionFrames.size(), 10 * kFrame720);
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(wholeFrames.compare((20 + i) * kFrame720, kFrame720, sectionFrames, i * kFrame720,
                                    kFrame720) == 0)
        << "frame " << 20 + i;
  }
  int channels = 0;
  const std::vector<float> wholeSound = DecodeAudio(whole, &channels);
  const std::vector<float> sectionSound = DecodeAudio(section, &channels);
  ASSERT_EQ(channels, 2);
  ASSERT_EQ(wholeSound.size(), 3u * kRate * 2);
  ASSERT_EQ(sectionSound.size(), 1u * kRate * 2);
  EXPECT_TRUE(
      std::equal(sectionSound.begin(), sectionSound.end(), wholeSound.begin() + 2 * kRate * 2));

  // And the samples are the song as miniaudio decodes it, to FLAC's 24 bits.
  ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 2, kRate);
  ma_decoder decoder;
  ASSERT_EQ(ma_decoder_init_file(TC_SOURCE_DIR "/resources/audio.mp3", &config, &decoder),
            MA_SUCCESS);
  std::vector<float> song(3 * kRate * 2);
  ma_uint64 read = 0;
  ma_decoder_read_pcm_frames(&decoder, song.data(), 3 * kRate, &read);
  ma_decoder_uninit(&decoder);
  ASSERT_EQ(read, 3u * kRate);
  float largest = 0.0f;
  for (size_t i = 0; i < wholeSound.size(); ++i)
    largest = std::max(largest, std::fabs(wholeSound[i] - song[i]));
  EXPECT_LE(largest, 1.0f / (1 << 23)) << "the sound track is not the decoded song";
}

// A kick the demo shows at frame n is heard at n / fps in the video: beat k at k * 0.6 - 28.8 s.
TEST_F(Capture, AacTrackHasTheKicksOnTheBeatsWithinOneMillisecond) {
  const std::string video = Path("sync.mp4");
  const Outcome o =
      RunCapture({"--size", "720", "--fps", "10", "--from", "28.8", "--to", "33.3", video});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  int channels = 0;
  const std::vector<float> sound = DecodeAudio(video, &channels);
  ASSERT_EQ(channels, 2);
  std::vector<float> mono(sound.size() / 2);
  for (size_t i = 0; i < mono.size(); ++i)
    mono[i] = 0.5f * (sound[2 * i] + sound[2 * i + 1]);
  double worst = 0.0, sum = 0.0;
  int found = 0;
  for (int beat = 49; beat <= 55; ++beat) {
    const long expected = (beat - 48) * 26460L;  // (beat * 0.6 - 28.8) s at 44.1 kHz
    const long onset = tc::test::FindKickOnset(mono, expected, kRate / 1000);
    ASSERT_GE(onset, 0) << "no kick found at beat " << beat;
    const double error = static_cast<double>(onset - expected) / kRate;
    EXPECT_LE(std::fabs(error), 0.001) << "beat " << beat << " off by " << error * 1e3 << " ms";
    worst = std::max(worst, std::fabs(error));
    sum += error;
    ++found;
  }
  std::printf("kicks vs beats in the AAC track: mean %+.3f ms, worst %.3f ms over %d beats\n",
              1e3 * sum / found, 1e3 * worst, found);
}

// --- Refusals
// -------------------------------------------------------------------------------------

TEST_F(Capture, EveryBadArgumentGivesExitCode2AndOneLineAndNoFile) {
  const std::string mp4 = Path("out.mp4"), png = Path("out.png");
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus", mp4},
      {"--fps", "0", mp4},
      {"--fps", "241", mp4},
      {"--fps", "29.97", mp4},
      {"--size", "480", mp4},
      {"--crf", "52", mp4},
      {"--preset", "quick", mp4},
      {"--preset", "slow", "--lossless", Path("out.mkv")},
      {"--from", "abc", mp4},
      {"--from", "-1", mp4},
      {"--from", "30", "--to", "29", mp4},
      {"--from", "30", "--to", "30", mp4},
      {"--from", "174.1", mp4},  // after the timeline's last frame (174.0167 s at 60 fps)
      {"--fps", "1", "--from", "0.2", "--to", "0.5", mp4},  // no frame in between
      {"--to"},
      {},
      {mp4, Path("second.mp4")},
      {Path("out.avi")},
      {png},
      {"--still", "175", png},
      // Times that are no times, and one far past the end: refused, never a frame index.
      {"--still", "inf", png},
      {"--still", "nan", png},
      {"--still", "1e300", png},
      {"--still", "0x10", png},
      {"--still", "", png},
      {"--still", " 5", png},
      {"--still", "5 ", png},
      {"--from", "1e300", mp4},
      {"--from", "0x10", mp4},
      {"--to", "inf", mp4},
      {"--to", "nan", mp4},
      {"--still", "10", mp4},
      {"--still", "10", "--from", "5", png},
      {"--lossless", mp4},
      {"--lossless", "--crf", "10", Path("out.mkv")},
      {dir_},                     // a folder
      {Path("missing/out.mp4")},  // a folder that is not there
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const std::string& a : args)
      shown += " " + a;
    const Outcome o = RunCapture(args);
    EXPECT_EQ(o.exitCode, 2) << shown << ": " << o.err;
    EXPECT_EQ(Lines(o.err).size(), 1u) << shown << ": " << o.err;
    EXPECT_EQ(o.err.rfind("zephyrine-capture: ", 0), 0u) << shown << ": " << o.err;
    EXPECT_TRUE(o.out.empty()) << shown;
    EXPECT_TRUE(ListDir(dir_).empty()) << shown << " left a file";
  }
}

TEST_F(Capture, TimesAreReadAsTheDesktopReadsThem) {
  // The demo's own line for a value that is not a time, and for one after the end.
  Outcome o = RunCapture({"--still", "0x10", Path("hex.png")});
  EXPECT_EQ(o.err,
            "zephyrine-capture: option --still: '0x10' is not a time in seconds (0 or "
            "more)\n");
  o = RunCapture({"--still", "1e300", Path("far.png")});
  EXPECT_EQ(o.exitCode, 2) << o.err;
  EXPECT_NE(o.err.find("option --still: 1e+300 s is after the end of the timeline"),
            std::string::npos)
      << o.err;
  // "-0" is the start: the same picture as 0.
  o = RunCapture({"--size", "720", "--still", "-0", Path("minus.png")});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  o = RunCapture({"--size", "720", "--still", "0", Path("zero.png")});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(ReadFile(Path("minus.png")), ReadFile(Path("zero.png")));
}

TEST_F(Capture, MissingFfmpegIsABadArgumentForVideoButNotForAStill) {
  Outcome o = RunCapture({"--size", "720", Path("out.mp4")}, {"PATH=/nonexistent"});
  EXPECT_EQ(o.exitCode, 2) << o.err;
  EXPECT_EQ(Lines(o.err).size(), 1u) << o.err;
  EXPECT_NE(o.err.find("ffmpeg"), std::string::npos) << o.err;
  EXPECT_TRUE(ListDir(dir_).empty());

  o = RunCapture({"--size", "720", "--still", "12", Path("still.png")}, {"PATH=/nonexistent"});
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(ListDir(dir_), std::vector<std::string>{"still.png"});
}

TEST_F(Capture, MissingAssetsGiveTheDemosOneLineAndExitCode1) {
  // An empty working folder, and none beside the executable in the build tree.
  const std::string empty = Path("empty");
  mkdir(empty.c_str(), 0755);
  Outcome o = RunCapture({"--size", "720", "--to", "1", Path("out.mp4")}, {}, empty);
  EXPECT_EQ(o.exitCode, 1) << o.err;
  EXPECT_EQ(Lines(o.err).size(), 1u) << o.err;
  EXPECT_NE(o.err.find("resources"), std::string::npos) << o.err;
  EXPECT_EQ(ListDir(dir_), std::vector<std::string>{"empty"});

  // Everything but the song: the sound track is where it fails.
  const std::string noSong = Path("no-song");
  mkdir(noSong.c_str(), 0755);
  mkdir((noSong + "/resources").c_str(), 0755);
  for (const char* file : {"mesh2.glb", "texture1.png", "texture2.png", "texture3.png"}) {
    ASSERT_EQ(symlink((std::string(TC_SOURCE_DIR) + "/resources/" + file).c_str(),
                      (noSong + "/resources/" + file).c_str()),
              0);
  }
  o = RunCapture({"--size", "720", "--to", "1", Path("out.mp4")}, {}, noSong);
  EXPECT_EQ(o.exitCode, 1) << o.err;
  EXPECT_EQ(Lines(o.err).size(), 1u) << o.err;
  EXPECT_NE(o.err.find("audio.mp3"), std::string::npos) << o.err;
  EXPECT_EQ(ListDir(dir_), (std::vector<std::string>{"empty", "no-song"}));
}

TEST_F(Capture, HelpAndVersionGoToStandardOutput) {
  Outcome o = RunCapture({"--version"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.out.rfind("zephyrine-capture ", 0), 0u) << o.out;
  EXPECT_EQ(Lines(o.out).size(), 1u);
  o = RunCapture({"--help"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_NE(o.out.find("--still SECONDS"), std::string::npos);
  EXPECT_TRUE(o.err.empty());
}

// --- Stopping midway
// ------------------------------------------------------------------------------

class CaptureStopped : public Capture {
 protected:
  // Starts a whole-song capture and waits until its encoder runs and frames flow into it.
  pid_t StartLongCapture(std::vector<pid_t>* encoders) {
    const pid_t pid = Start({TC_CAPTURE_EXE, "--size", "720", "--fps", "30", Path("long.mp4")},
                            TC_SOURCE_DIR, Path(".stdout"), Path(".stderr"));
    // Only a guard against a hang: how long each step takes is not judged.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (encoders->empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      *encoders = ProcessesMentioning(dir_ + "/long.partial-");
    }
    // Encoded frames follow the 48 bytes of the container's header.
    while (!encoders->empty() && PartialFileSize() <= 48 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return pid;
  }
  off_t PartialFileSize() {
    for (const std::string& name : ListDir(dir_)) {
      struct stat info;
      if (name.rfind("long.partial-", 0) == 0 && stat(Path(name).c_str(), &info) == 0) {
        return info.st_size;
      }
    }
    return 0;
  }
  Outcome Finish(pid_t pid) {
    Outcome o = Wait(pid, Path(".stdout"), Path(".stderr"));
    unlink(Path(".stdout").c_str());
    unlink(Path(".stderr").c_str());
    return o;
  }
};

TEST_F(CaptureStopped, SigtermLeavesNoFileAndNoEncoderProcess) {
  std::vector<pid_t> encoders;
  const pid_t pid = StartLongCapture(&encoders);
  ASSERT_EQ(encoders.size(), 1u) << "the encoder never started";
  kill(pid, SIGTERM);
  const Outcome o = Finish(pid);
  EXPECT_EQ(o.exitCode, 128 + SIGTERM) << o.err;
  EXPECT_NE(o.err.find("nothing written"), std::string::npos) << o.err;
  EXPECT_TRUE(ListDir(dir_).empty()) << "left: " << ListDir(dir_).front();
  EXPECT_TRUE(ProcessesMentioning(dir_).empty()) << "ffmpeg still running";
}

TEST_F(CaptureStopped, AKilledEncoderFailsTheCaptureWithOneLineAndNoFile) {
  std::vector<pid_t> encoders;
  const pid_t pid = StartLongCapture(&encoders);
  ASSERT_EQ(encoders.size(), 1u) << "the encoder never started";
  kill(encoders[0], SIGKILL);
  const Outcome o = Finish(pid);
  EXPECT_EQ(o.exitCode, 1) << o.err;
  const std::vector<std::string> lines = Lines(o.err);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("ffmpeg was killed by signal 9"), std::string::npos) << o.err;
  EXPECT_TRUE(ListDir(dir_).empty());
  EXPECT_TRUE(ProcessesMentioning(dir_).empty());
}

}  // namespace
