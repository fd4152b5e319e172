// A late start: the first frame drawn after --start equals the frame a 60 fps run from the
// beginning draws at that time, and the first beat line is the one that run printed for the beat
// in progress.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "app/start_position.h"
#include "demo/frame.h"

namespace tc {
namespace {

struct Frame {
  std::vector<Mat4> worlds;
  std::vector<int32_t> boundTextures;
};

// Records what a frame would draw: every world matrix, and the texture bound at each draw.
struct RecordingRenderer {
  Frame* frame;
  int32_t bound = 0;
  void ClearFrame() { *frame = Frame{}; }
  void BindCubeTexture(int32_t index) { bound = index; }
  void DrawCube(const Mat4& world) {
    frame->worlds.push_back(world);
    frame->boundTextures.push_back(bound);
  }
};

struct Outcome {
  Frame frame;
  Mat4 projection;
  std::string beatLines;
  size_t linesBeforeLastFrame = 0;
};

// A fresh process's run at 60 fps up to and including frame `lastIndex`.
Outcome SixtyFpsRun(const ShapeTable& table, int64_t lastIndex) {
  std::srand(1);
  DemoState state;
  Outcome outcome{};
  std::ostringstream log;
  RecordingRenderer renderer{&outcome.frame};
  for (int64_t i = 0; i <= lastIndex; ++i) {
    outcome.linesBeforeLastFrame = log.str().size();
    RunChoreographyFrame(state, outcome.projection, table, FixedRateFrameTime(i, 60), log,
                         renderer);
  }
  outcome.beatLines = log.str();
  return outcome;
}

// A run started at `startSeconds`, whose first frame is drawn at that time; the texture bound
// before it is the one the replay cycled to, as main binds it.
Outcome LateStart(const ShapeTable& table, double startSeconds, float firstFrameSeconds) {
  std::srand(1);
  DemoState state;
  Outcome outcome{};
  std::ostringstream log;
  ReplayToStart(state, outcome.projection, table, startSeconds, log);
  RecordingRenderer renderer{&outcome.frame, state.textureIndex};
  RunChoreographyFrame(state, outcome.projection, table, firstFrameSeconds, log, renderer);
  outcome.beatLines = log.str();
  return outcome;
}

std::string LastLine(const std::string& lines) {
  const size_t end = lines.size() - 1;
  const size_t begin = lines.rfind('\n', end - 1);
  return lines.substr(begin == std::string::npos ? 0 : begin + 1);
}

void ExpectSameFrame(const Outcome& late, const Outcome& reference) {
  ASSERT_EQ(late.frame.worlds.size(), reference.frame.worlds.size());
  EXPECT_EQ(std::memcmp(late.frame.worlds.data(), reference.frame.worlds.data(),
                        late.frame.worlds.size() * sizeof(Mat4)),
            0);
  EXPECT_EQ(late.frame.boundTextures, reference.frame.boundTextures);
  EXPECT_EQ(std::memcmp(&late.projection, &reference.projection, sizeof(Mat4)), 0);
}

class LateStartTest : public testing::Test {
 protected:
  void SetUp() override { BuildShapeTable(table_); }
  ShapeTable table_;
};

TEST_F(LateStartTest, AtOneHundredSecondsFirstLineIsBeat166AndTheFrameMatches) {
  const Outcome late = LateStart(table_, 100.0, 100.0f);
  const Outcome reference = SixtyFpsRun(table_, 6000);  // frame 6000 is at 100 s
  // Beat 166 is announced at start-up with the time the full run printed it; the first frame
  // itself starts no new beat.
  EXPECT_EQ(late.beatLines, "?? Beat #166 at time 99.6167 sec\n");
  EXPECT_NE(reference.beatLines.find(late.beatLines), std::string::npos);
  ExpectSameFrame(late, reference);
}

TEST_F(LateStartTest, StartOnABeatBoundaryAndInTheRingAndLatticeSections) {
  // 99.6 s is where beat 166 begins (its first 60 fps frame is the one after); 40.2 s is inside
  // the lattice, 130 s inside the ring with its drift, 0.3 s inside beat 0.
  for (const double start : {99.6, 40.2, 130.0, 0.3}) {
    SCOPED_TRACE(start);
    // The run's first frame at or after the start, compared as the replay compares times.
    int64_t index = 0;
    while (static_cast<double>(FixedRateFrameTime(index, 60)) < start)
      ++index;
    const float first = FixedRateFrameTime(index, 60);
    const Outcome late = LateStart(table_, start, first);
    const Outcome reference = SixtyFpsRun(table_, index);
    ExpectSameFrame(late, reference);
    // First the line the full run printed last before that frame, then whatever the frame prints.
    const std::string before = reference.beatLines.substr(0, reference.linesBeforeLastFrame);
    EXPECT_EQ(late.beatLines,
              LastLine(before) + reference.beatLines.substr(reference.linesBeforeLastFrame));
  }
}

TEST_F(LateStartTest, StartAtZeroReplaysNothingAndPrintsNothing) {
  std::srand(1);
  DemoState state;
  Mat4 projection{};
  std::ostringstream log;
  EXPECT_EQ(ReplayToStart(state, projection, table_, 0.0, log), 0);
  EXPECT_EQ(log.str(), "");
  EXPECT_EQ(state.lastBeat, -1.0f);
}

}  // namespace
}  // namespace tc
