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

struct Outcome {
  bool exited = false;  // false: killed by a signal, or still running at the deadline
  int exitCode = -1;
  int signal = 0;
  std::string out;
  std::vector<std::string> errLines;  // without the sound library's own "ALSA lib" notes
};

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
    std::istringstream err(test::ReadFile(folder_ + "/stderr.txt"));
    for (std::string line; std::getline(err, line);) {
      if (line.rfind("ALSA lib ", 0) != 0) outcome.errLines.push_back(line);
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
  const std::vector<int> beats = ParseBeatLines(outcome.out);
  ASSERT_FALSE(beats.empty());
  EXPECT_EQ(beats.front(), 0);
  EXPECT_EQ(beats.back(), 290);
  ExpectStrictlyIncreasing(beats);
}

INSTANTIATE_TEST_SUITE_P(Both, FullRun, ::testing::ValuesIn(kExecutables), ExecutableName);

// --- Ending a run early ------------------------------------------------------------------------

class EarlyEnd : public ExecutableTest {
 protected:
  // Starts a run on stand-in files and waits until its window is up and frames are running.
  void StartRun() {
    test::WriteStandInResources(folder_, 16, 20.0);
    run_.reset(new DemoRun(GetParam().path, folder_));
    ASSERT_TRUE(window_.connected());
    ASSERT_TRUE(window_.Find(run_->pid(), "Tumblecrate", 20.0)) << "no window appeared";
    // Start-up on these small files takes a fraction of a second; then the loop runs.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
  // The run ends within a second of the request, cleanly, after drawing some frames.
  void ExpectPromptCleanEnd() {
    const auto asked = Clock::now();
    const Outcome outcome = run_->Wait(5.0);
    const double seconds = std::chrono::duration<double>(Clock::now() - asked).count();
    ASSERT_TRUE(outcome.exited) << "still running or killed (signal " << outcome.signal << ")";
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LT(seconds, 1.0);
    EXPECT_TRUE(outcome.errLines.empty()) << outcome.errLines.front();
    const std::vector<int> beats = ParseBeatLines(outcome.out);
    ASSERT_FALSE(beats.empty()) << "no frame was drawn";
    EXPECT_EQ(beats.front(), 0);
    ExpectStrictlyIncreasing(beats);
  }

  test::X11Window window_;
  std::unique_ptr<DemoRun> run_;
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

std::vector<BadFile> AllBadFiles() {
  std::vector<BadFile> cases;
  for (const Executable& exe : kExecutables) {
    for (const char* file :
         {"mesh2.glb", "texture1.png", "texture2.png", "texture3.png", "audio.mp3"}) {
      for (Damage damage : {Damage::kMissing, Damage::kTruncated, Damage::kCorrupt}) {
        cases.push_back({exe, file, damage});
      }
    }
  }
  return cases;
}

class BadAsset : public ::testing::TestWithParam<BadFile> {};

TEST_P(BadAsset, EndsStartUpWithOneLineNamingTheFile) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
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
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "");
  ASSERT_EQ(outcome.errLines.size(), 1u);
  EXPECT_NE(outcome.errLines[0].find(std::string("resources/") + bad.file), std::string::npos)
      << outcome.errLines[0];
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

}  // namespace
}  // namespace tc
