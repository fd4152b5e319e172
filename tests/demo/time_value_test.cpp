// Times written as text: what reads as seconds, where the timeline ends for a start and for a
// fixed-rate frame, and frame indices for times no timeline reaches.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "demo/frame.h"
#include "demo/time_value.h"

namespace tc {
namespace {

struct Read {
  bool ok;
  double seconds;
  std::string error;
};

Read ReadTime(const char* text) {
  Read r{false, -1.0, ""};
  char error[kTimeErrorSize] = {};
  r.ok = ParseTimeSeconds("--still", text, r.seconds, error, sizeof error);
  r.error = error;
  return r;
}

TEST(TimeValue, PlainDecimalsAreSeconds) {
  EXPECT_EQ(ReadTime("0").seconds, 0.0);
  EXPECT_EQ(ReadTime("100.25").seconds, 100.25);
  EXPECT_EQ(ReadTime("+7").seconds, 7.0);
  EXPECT_EQ(ReadTime("1.5e1").seconds, 15.0);
  EXPECT_EQ(ReadTime(".5").seconds, 0.5);
}

TEST(TimeValue, MinusZeroIsTheStart) {
  const Read r = ReadTime("-0");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.seconds, 0.0);
  EXPECT_FALSE(std::signbit(r.seconds)) << "prints as -0";
}

TEST(TimeValue, WhatIsNotATimeIsRefusedInOneLineNamingOptionAndText) {
  for (const char* text :
       {"inf", "-inf", "nan", "NaN",    "0x10",  "0X1p4", "",    " ",  " 5",  "5 ",
        "\t5", "5\n",  "-1",  "-0.001", "1e999", "1e",    "abc", "5s", "1,5", "."}) {
    const Read r = ReadTime(text);
    EXPECT_FALSE(r.ok) << "'" << text << "' read as " << r.seconds;
    EXPECT_EQ(r.error.rfind("option --still: '", 0), 0u) << r.error;
    EXPECT_NE(r.error.find("is not a time in seconds"), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
  EXPECT_NE(ReadTime("0x10").error.find("'0x10'"), std::string::npos);
  EXPECT_EQ(ReadTime("5\n").error, "option --still: '5?' is not a time in seconds (0 or more)");
}

TEST(TimeValue, HugeButFiniteTimesReadAndAreAfterTheEnd) {
  const Read r = ReadTime("1e300");
  ASSERT_TRUE(r.ok) << r.error;
  char error[kTimeErrorSize] = {};
  EXPECT_FALSE(FrameInsideTimeline("--still", r.seconds, 60, error, sizeof error));
  EXPECT_NE(std::string(error).find("after the end of the timeline"), std::string::npos) << error;
  EXPECT_FALSE(StartInsideTimeline("--start", r.seconds, error, sizeof error));
  EXPECT_FALSE(
      StartInsideTimeline("--start", std::numeric_limits<double>::max(), error, sizeof error));
}

TEST(TimeValue, AFrameTimeReachesTheFrameThatEndsTheTimeline) {
  // The end frame (10440 at 60 fps, 1740 at 10) is drawn; the grid's next frame is not.
  char error[kTimeErrorSize] = {};
  EXPECT_TRUE(FrameInsideTimeline("--still", 174.0, 60, error, sizeof error)) << error;
  EXPECT_TRUE(FrameInsideTimeline("--still", 173.99, 10, error, sizeof error)) << error;
  EXPECT_FALSE(FrameInsideTimeline("--still", 174.001, 60, error, sizeof error));
  EXPECT_EQ(std::string(error),
            "option --still: 174.001 s is after the end of the timeline (its last frame at 60 fps "
            "is at 174.0000 s)");
  EXPECT_FALSE(FrameInsideTimeline("--from", 174.05, 10, error, sizeof error));
  EXPECT_FALSE(FrameInsideTimeline("--still", std::nan(""), 60, error, sizeof error));
}

TEST(TimeValue, AStartMustLeaveABeatOfTheShow) {
  // 174 s is beat 290 in single precision: a run starting there draws only the end.
  char error[kTimeErrorSize] = {};
  EXPECT_TRUE(StartInsideTimeline("--start", 173.9, error, sizeof error)) << error;
  EXPECT_FALSE(StartInsideTimeline("--start", 174.0, error, sizeof error));
  EXPECT_EQ(std::string(error),
            "option --start: 174 s is after the end of the timeline (it ends at 174.0000 s)");
  EXPECT_FALSE(StartInsideTimeline("--start", 174.5, error, sizeof error));
  EXPECT_FALSE(StartInsideTimeline("--start", std::nan(""), error, sizeof error));
}

TEST(TimeValue, FrameIndicesStayInRangeForAnyTime) {
  EXPECT_EQ(FirstFrameAtOrAfter(1e300, 60), kFarBeyondAnyFrame);
  EXPECT_EQ(FirstFrameAtOrAfter(std::numeric_limits<double>::infinity(), 60), kFarBeyondAnyFrame);
  EXPECT_EQ(FirstFrameAtOrAfter(std::nan(""), 60), 0);
  EXPECT_EQ(FirstFrameAtOrAfter(-5.0, 60), 0);
  EXPECT_EQ(FirstFrameAtOrAfter(100.2, 60), 6012);
  EXPECT_GT(kFarBeyondAnyFrame, TimelineEndFrame(240));
}

}  // namespace
}  // namespace tc
