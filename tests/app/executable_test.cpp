// The two real executables under X: a full run to the end of the timeline, the ways a user ends
// a run early, and every asset file missing, cut short or corrupt. Each run happens in a scratch
// working folder holding its own resources/ (the demo reads relative to the working directory).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "demo/timeline.h"
#include "test_files.h"
#include "x11_window.h"

namespace tc {
namespace {

using Clock = std::chrono::steady_clock;

struct Executable {
  const char* name;
  const char* path;
};

const Executable kExecutables[] = {{"zephyrine_1080", TC_EXE_1080}, {"zephyrine_720", TC_EXE_720}};
// The same entry procedure on the null window and backend: it reads and checks the asset files as
// the real ones do, and needs no display.
const Executable kNullExecutable = {"zephyrine_null", TC_EXE_NULL};

struct Outcome {
  bool exited = false;  // false: killed by a signal, or still running at the deadline
  int exitCode = -1;
  int signal = 0;
  std::string out;
  // Standard error split in two: the demo's own lines, and a sanitizer's report lines. Whatever
  // else libraries print there (the sound system's notes when no server runs, say) is not judged.
  std::vector<std::string> errLines;
  std::vector<std::string> sanitizerLines;
  std::string err;  // all of it
};

// The demo's own lines on standard error start with the name of the start-up step that failed and
// a colon, or with the program's name.
bool IsOurLine(const std::string& line) {
  static const char* const kPrefixes[] = {
      "CreatePresentationWindow:", "CreateRenderDevice:", "LoadSceneResources:",
      "BuildShaderProgram:",       "StartMusic:",         "zephyrine"};
  for (const char* prefix : kPrefixes) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer reports (the sanitizer build).
bool IsSanitizerLine(const std::string& line) {
  return line.find("Sanitizer") != std::string::npos ||
         line.find("runtime error:") != std::string::npos;
}

// One run of an executable in `folder`, standard output and error captured in files there.
class DemoRun {
 public:
  DemoRun(const char* exe, const std::string& folder) : folder_(folder) {
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(folder.c_str()) != 0) _exit(126);
      const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      execl(exe, exe, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~DemoRun() {
    if (pid_ > 0 && !finished_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }

  // Waits up to `seconds` for the process to end.
  Outcome Wait(double seconds) {
    Outcome outcome;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) break;
      if (Clock::now() > deadline) return outcome;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    finished_ = true;
    outcome.exited = WIFEXITED(status);
    if (outcome.exited) outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    outcome.out = test::ReadFile(folder_ + "/stdout.txt");
    outcome.err = test::ReadFile(folder_ + "/stderr.txt");
    std::istringstream err(outcome.err);
    for (std::string line; std::getline(err, line);) {
      if (IsOurLine(line)) outcome.errLines.push_back(line);
      if (IsSanitizerLine(line)) outcome.sanitizerLines.push_back(line);
    }
    return outcome;
  }

 private:
  std::string folder_;
  pid_t pid_ = -1;
  bool finished_ = false;
};

// Every line of standard output is a beat line; returns the beats in order.
std::vector<int> ParseBeatLines(const std::string& out) {
  static const std::regex kBeatLine(R"(\?\? Beat #(\d+) at time ([0-9.e+-]+) sec)");
  std::vector<int> beats;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, kBeatLine)) << "not a beat line: '" << line << "'";
    if (!match.empty()) beats.push_back(std::stoi(match[1]));
  }
  EXPECT_TRUE(out.empty() || out.back() == '\n');
  return beats;
}

// The number of the last whole beat line in `out` (a run still writing may end it mid-line), or
// -1 before the first.
int LastBeat(const std::string& out) {
  const size_t end = out.rfind('\n');
  if (end == std::string::npos) return -1;
  const size_t begin = end == 0 ? std::string::npos : out.rfind('\n', end - 1);
  const std::string line = out.substr(begin == std::string::npos ? 0 : begin + 1);
  const size_t hash = line.find('#');
  return hash == std::string::npos ? -1 : std::atoi(line.c_str() + hash + 1);
}

void ExpectStrictlyIncreasing(const std::vector<int>& beats) {
  for (size_t i = 1; i < beats.size(); ++i) {
    ASSERT_LT(beats[i - 1], beats[i]) << "beat lines " << i - 1 << " and " << i;
  }
}

class ExecutableTest : public ::testing::TestWithParam<Executable> {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
    folder_ = test::MakeScratchDir("run");
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override { test::RemoveTree(folder_); }
  std::string folder_;
};

std::string ExecutableName(const ::testing::TestParamInfo<Executable>& info) {
  return info.param.name;
}

// --- A full run --------------------------------------------------------------------------------

using FullRun = ExecutableTest;

TEST_P(FullRun, PlaysToTheEndOfTheTimelineAndExitsZero) {
  std::string resources;
  if (!test::RealResourcesPresent(&resources)) GTEST_SKIP() << "the real resources/ are absent";
  ASSERT_EQ(symlink(resources.c_str(), (folder_ + "/resources").c_str()), 0);
  DemoRun run(GetParam().path, folder_);
  // The song clock runs in real time: about 174 s of song, plus start-up.
  const Outcome outcome = run.Wait(300.0);
  ASSERT_TRUE(outcome.exited) << "still running or killed (signal " << outcome.signal << ")";
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.errLines.empty()) << outcome.errLines.front();
  EXPECT_TRUE(outcome.sanitizerLines.empty()) << outcome.sanitizerLines.front();
  const std::vector<int> beats = ParseBeatLines(outcome.out);
  ASSERT_FALSE(beats.empty());
  EXPECT_EQ(beats.front(), 0);
  // The frame that ends the show is the first past its last beat: beat 290, or a later one where
  // that frame came more than a beat after the one before (a busy machine); none after it.
  EXPECT_GE(beats.back(), kLastBeat + 1);
  if (beats.size() > 1) {
    EXPECT_LE(beats[beats.size() - 2], kLastBeat);
  }
  ExpectStrictlyIncreasing(beats);
}

// One real full run: the 1080 build differs only in its size, which the pixel tests and the early
// ends cover.
INSTANTIATE_TEST_SUITE_P(One, FullRun, ::testing::Values(kExecutables[1]), ExecutableName);

// --- Ending a run early ------------------------------------------------------------------------

class EarlyEnd : public ExecutableTest {
 protected:
  // Starts a run on stand-in files and waits until its window is up and its first frame has
  // written beat line 0; how long that took is the yardstick for the end.
  void StartRun() {
    test::WriteStandInResources(folder_, 16, 20.0);
    const auto started = Clock::now();
    run_.reset(new DemoRun(GetParam().path, folder_));
    ASSERT_TRUE(window_.connected());
    ASSERT_TRUE(window_.Find(run_->pid(), "Tumblecrate", 20.0)) << "no window appeared";
    const std::string out = folder_ + "/stdout.txt";
    while (test::ReadFile(out).empty()) {
      ASSERT_LT(Clock::now() - started, std::chrono::seconds(20)) << "no beat line";
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    startSeconds_ = std::chrono::duration<double>(Clock::now() - started).count();
  }
  // The run ends cleanly, after drawing some frames, and promptly: within twice the time it took
  // to start (measured: a fifth to a half of it idle, up to 0.7 of it with every core busy), which
  // an end that waited for something (the song, a timeout) would overrun on a loaded machine too.
  void ExpectPromptCleanEnd() {
    const auto asked = Clock::now();
    const Outcome outcome = run_->Wait(20.0);
    const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    ASSERT_TRUE(outcome.exited) << "still running or killed (signal " << outcome.signal << ")";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LT(seconds, 2.0 * startSeconds_)
        << "ended " << seconds << " s after the request; started in " << startSeconds_ << " s";
    EXPECT_TRUE(outcome.errLines.empty()) << outcome.errLines.front();
    EXPECT_TRUE(outcome.sanitizerLines.empty()) << outcome.sanitizerLines.front();
    const std::vector<int> beats = ParseBeatLines(outcome.out);
    ASSERT_FALSE(beats.empty()) << "no frame was drawn";
    EXPECT_EQ(beats.front(), 0);
    ExpectStrictlyIncreasing(beats);
  }

  test::X11Window window_;
  std::unique_ptr<DemoRun> run_;
  double startSeconds_ = 0.0;
};

TEST_P(EarlyEnd, EscapeKeyEndsTheRun) {
  StartRun();
  window_.PressEscape();
  ExpectPromptCleanEnd();
}

TEST_P(EarlyEnd, CloseRequestEndsTheRun) {
  StartRun();
  window_.RequestClose();
  ExpectPromptCleanEnd();
}

TEST_P(EarlyEnd, TerminationSignalEndsTheRunLikeAClose) {
  StartRun();
  kill(run_->pid(), SIGTERM);
  ExpectPromptCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(Both, EarlyEnd, ::testing::ValuesIn(kExecutables), ExecutableName);

// --- Bad asset files ---------------------------------------------------------------------------

enum class Damage { kMissing, kTruncated, kCorrupt };

struct BadFile {
  Executable exe;
  const char* file;
  Damage damage;
};

// On the null build: the files are read and checked before anything reaches a GPU, by the same
// code on every backend; the crafted files below still go through the real ones.
std::vector<BadFile> AllBadFiles() {
  std::vector<BadFile> cases;
  for (const char* file :
       {"mesh2.glb", "texture1.png", "texture2.png", "texture3.png", "audio.mp3"}) {
    for (Damage damage : {Damage::kMissing, Damage::kTruncated, Damage::kCorrupt}) {
      cases.push_back({kNullExecutable, file, damage});
    }
  }
  return cases;
}

// A start-up that ends on a bad file: exit code 1, nothing on standard output, exactly one line of
// ours on standard error and it names the file, no sanitizer report.
void ExpectOneLineNaming(const Outcome& outcome, const std::string& file) {
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(outcome.sanitizerLines.empty()) << outcome.sanitizerLines.front();
  ASSERT_EQ(outcome.errLines.size(), 1u);
  EXPECT_NE(outcome.errLines[0].find("resources/" + file), std::string::npos)
      << outcome.errLines[0];
}

class BadAsset : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadAsset, EndsStartUpWithOneLineNamingTheFile) {
  const BadFile& bad = GetParam();
  const std::string folder = test::MakeScratchDir("bad");
  test::WriteStandInResources(folder, 16, 2.0);
  const std::string path = folder + "/resources/" + bad.file;
  const std::string good = test::ReadFile(path);
  switch (bad.damage) {
    case Damage::kMissing:
      std::remove(path.c_str());
      break;
    case Damage::kTruncated:
      // Half the file; an MP3 cut after its first frames is merely a shorter song, so the song
      // is cut inside its first frame.
      test::WriteFile(path,
                      good.substr(0, std::string(bad.file) == "audio.mp3" ? 16 : good.size() / 2));
      break;
    case Damage::kCorrupt: {
      std::string junk;
      while (junk.size() < good.size())
        junk += "not what it says it is. ";
      test::WriteFile(path, junk.substr(0, good.size()));
      break;
    }
  }

  DemoRun run(bad.exe.path, folder);
  const Outcome outcome = run.Wait(30.0);
  test::RemoveTree(folder);
  ASSERT_TRUE(outcome.exited) << "still running or killed (signal " << outcome.signal << ")";
  ExpectOneLineNaming(outcome, bad.file);
}

std::string BadFileName(const ::testing::TestParamInfo<BadFile>& info) {
  static const char* const kDamage[] = {"missing", "truncated", "corrupt"};
  std::string name = std::string(info.param.exe.name) + "_" + info.param.file;
  for (char& c : name) {
    if (c == '.') c = '_';
  }
  return name + "_" + kDamage[static_cast<int>(info.param.damage)];
}

INSTANTIATE_TEST_SUITE_P(EveryFile, BadAsset, ::testing::ValuesIn(AllBadFiles()), BadFileName);

// --- Files made to break the loaders -------------------------------------------------------------
// Each makes one file of a stand-in resources/ hostile; the run must end as for any bad file, at
// once, without reading outside the file or waiting on it. The loaders are shared by both builds,
// so zephyrine-720 alone runs these.

struct CraftedFile {
  const char* name;
  const char* file;  // the file the one line must name
  void (*craft)(const std::string& resources);
};

void WriteMesh(const std::string& resources, const test::GlbSpec& glbSpec) {
  test::WriteFile(resources + "/mesh2.glb", test::BuildGlb(glbSpec));
}

const CraftedFile kCraftedFiles[] = {
    {"BufferUriLeavingTheFolder", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.bufferUri = "../../../../etc/passwd";
       WriteMesh(r, glb);
     }},
    {"BufferUriOfAGigabyteOfZeros", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.bufferUri = "../../../../dev/zero";
       glb.bufferByteLength = int64_t{1} << 30;
       WriteMesh(r, glb);
     }},
    {"BufferUriOfStandardInput", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.bufferUri = "/dev/stdin";
       WriteMesh(r, glb);
     }},
    {"BufferFileThatIsAFifo", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.bufferUri = "cube.bin";
       WriteMesh(r, glb);
       mkfifo((r + "/cube.bin").c_str(), 0600);
     }},
    {"MeshThatIsAFifo", "mesh2.glb",
     [](const std::string& r) {
       std::remove((r + "/mesh2.glb").c_str());
       mkfifo((r + "/mesh2.glb").c_str(), 0600);
     }},
    {"IndexCountOfOne", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.indexCount = 1;
       WriteMesh(r, glb);
     }},
    {"IndexCountWrappingItsSpan", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.indexCountText = "9223372036854775807";
       glb.indexAccessorOffset = 2;
       WriteMesh(r, glb);
     }},
    {"ViewWithANegativeOffset", "mesh2.glb",
     [](const std::string& r) {
       test::GlbSpec glb = test::UnitCube();
       glb.indexViewOffsetText = "-8";
       WriteMesh(r, glb);
     }},
    {"TgaHeaderAsTexture", "texture1.png",
     [](const std::string& r) { test::WriteFile(r + "/texture1.png", test::HugeTgaHeader()); }},
    {"PpmAsTexture", "texture1.png",
     [](const std::string& r) {
       test::WriteFile(r + "/texture1.png", "P6\n16 16\n255\n" + std::string(16 * 16 * 3, 'x'));
     }},
    {"SongMissing", "audio.mp3",
     [](const std::string& r) { std::remove((r + "/audio.mp3").c_str()); }},
    {"SongThatIsAFolder", "audio.mp3",
     [](const std::string& r) {
       std::remove((r + "/audio.mp3").c_str());
       mkdir((r + "/audio.mp3").c_str(), 0700);
     }},
    {"SongUnreadable", "audio.mp3",
     [](const std::string& r) { chmod((r + "/audio.mp3").c_str(), 0); }},
};

class Crafted : public ::testing::TestWithParam<CraftedFile> {};

TEST_P(Crafted, EndsStartUpWithOneLineNamingTheFile) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
  const CraftedFile& crafted = GetParam();
  if (std::string(crafted.name) == "SongUnreadable" && geteuid() == 0) {
    GTEST_SKIP() << "root reads any file";
  }
  const std::string folder = test::MakeScratchDir("crafted");
  test::WriteStandInResources(folder, 16, 2.0);
  crafted.craft(folder + "/resources");
  DemoRun run(TC_EXE_720, folder);
  const Outcome outcome = run.Wait(30.0);
  test::RemoveTree(folder);
  ASSERT_TRUE(outcome.exited) << "still running or killed (signal " << outcome.signal << ")";
  ExpectOneLineNaming(outcome, crafted.file);
}

std::string CraftedName(const ::testing::TestParamInfo<CraftedFile>& info) {
  return std::string("zephyrine_720_") + info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Files, Crafted, ::testing::ValuesIn(kCraftedFiles), CraftedName);

// --- A sanitized run -----------------------------------------------------------------------------
// The real resources until the song passes thirty seconds (beat 50), then a termination signal: in
// the sanitizer build this covers start-up, the frame loop and the whole shutdown (LeakSanitizer
// reports at exit).

TEST(SanitizedRun, ThirtySecondsOfZephyrine720EndCleanly) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
  std::string resources;
  if (!test::RealResourcesPresent(&resources)) GTEST_SKIP() << "the real resources/ are absent";
  const std::string folder = test::MakeScratchDir("sanitized");
  ASSERT_EQ(symlink(resources.c_str(), (folder + "/resources").c_str()), 0);
  // The software rasteriser draws on the calling thread: its worker threads, starved on a busy
  // machine, otherwise stretch the context's release at exit to minutes under the sanitizers.
  setenv("LP_NUM_THREADS", "0", 1);
  DemoRun run(TC_EXE_720, folder);
  const auto started = Clock::now();
  while (LastBeat(test::ReadFile(folder + "/stdout.txt")) < 50 &&
         Clock::now() - started < std::chrono::seconds(90)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(run.pid(), SIGTERM);
  const Outcome outcome = run.Wait(120.0);
  test::RemoveTree(folder);
  ASSERT_TRUE(outcome.exited) << "still running or killed (signal " << outcome.signal << ")";
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_TRUE(outcome.sanitizerLines.empty()) << outcome.err;
  EXPECT_TRUE(outcome.errLines.empty()) << outcome.errLines.front();
  const std::vector<int> beats = ParseBeatLines(outcome.out);
  ASSERT_FALSE(beats.empty()) << "no frame was drawn";
  EXPECT_EQ(beats.front(), 0);
  EXPECT_GE(beats.back(), 50) << "the song did not pass thirty seconds";
  ExpectStrictlyIncreasing(beats);
}

}  // namespace
}  // namespace tc
