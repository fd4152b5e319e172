// The command line: what is accepted and what each accepted form sets, and every way a value or
// an option can be wrong, with the one-line message that names it.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/options.h"

namespace tc {
namespace {

OptionsResult Parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"zephyrine-720"};
  argv.insert(argv.end(), args.begin(), args.end());
  return ParseOptions(static_cast<int>(argv.size()), argv.data());
}

void ExpectOptions(const PlaybackOptions& o, const PlaybackOptions& want) {
  EXPECT_EQ(o.fullscreen, want.fullscreen);
  EXPECT_EQ(o.display, want.display);
  EXPECT_EQ(o.vsync, want.vsync);
  EXPECT_EQ(o.startSeconds, want.startSeconds);
  EXPECT_EQ(o.loop, want.loop);
  EXPECT_EQ(o.mute, want.mute);
  EXPECT_EQ(o.avOffsetMs, want.avOffsetMs);
}

TEST(Options, NoArgumentIsTheDesignedRun) {
  const OptionsResult result = Parse({});
  ASSERT_EQ(result.action, OptionsAction::Run);
  ExpectOptions(result.options, {false, 0, false, 0.0, false, false, 0.0});
}

TEST(Options, EveryOptionTogetherInBothSpellings) {
  const OptionsResult result = Parse({"--fullscreen", "--display", "1", "--vsync", "--start=100.5",
                                      "--loop", "--mute", "--av-offset", "-35"});
  ASSERT_EQ(result.action, OptionsAction::Run) << result.error;
  ExpectOptions(result.options, {true, 1, true, 100.5, true, true, -35.0});
}

TEST(Options, LaterValueWins) {
  const OptionsResult result = Parse({"--start", "10", "--start", "20"});
  ASSERT_EQ(result.action, OptionsAction::Run);
  EXPECT_EQ(result.options.startSeconds, 20.0);
}

TEST(Options, BoundaryValuesAccepted) {
  EXPECT_EQ(Parse({"--start", "0"}).action, OptionsAction::Run);
  EXPECT_EQ(Parse({"--start", "173.9"}).action, OptionsAction::Run);
  EXPECT_EQ(Parse({"--av-offset", "1000"}).action, OptionsAction::Run);
  EXPECT_EQ(Parse({"--av-offset", "-1000"}).action, OptionsAction::Run);
  EXPECT_EQ(Parse({"--av-offset", "+12.5"}).options.avOffsetMs, 12.5);
  EXPECT_EQ(Parse({"--display", "0"}).action, OptionsAction::Run);
  const OptionsResult minusZero = Parse({"--start", "-0"});
  ASSERT_EQ(minusZero.action, OptionsAction::Run) << minusZero.error;
  EXPECT_EQ(minusZero.options.startSeconds, 0.0);
  EXPECT_FALSE(std::signbit(minusZero.options.startSeconds));
}

TEST(Options, HelpAndVersionWinOverEverythingAfterThem) {
  EXPECT_EQ(Parse({"--help"}).action, OptionsAction::PrintHelp);
  EXPECT_EQ(Parse({"-h"}).action, OptionsAction::PrintHelp);
  EXPECT_EQ(Parse({"--loop", "--version", "--bogus"}).action, OptionsAction::PrintVersion);
  EXPECT_NE(std::string(UsageText()).find("--av-offset MS"), std::string::npos);
}

struct Rejected {
  std::vector<const char*> args;
  const char* mentions;  // the option or value the one-line message must name
};

class OptionsRejected : public testing::TestWithParam<Rejected> {};

TEST_P(OptionsRejected, FailsWithOneLineNamingIt) {
  std::vector<const char*> argv = {"zephyrine-720"};
  argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
  const OptionsResult result = ParseOptions(static_cast<int>(argv.size()), argv.data());
  ASSERT_EQ(result.action, OptionsAction::Fail);
  const std::string error = result.error;
  EXPECT_NE(error.find(GetParam().mentions), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(UnknownOrMisspelt, OptionsRejected,
                         testing::Values(Rejected{{"--bogus"}, "--bogus"}, Rejected{{"-f"}, "-f"},
                                         Rejected{{"fullscreen"}, "fullscreen"},
                                         Rejected{{"--Fullscreen"}, "--Fullscreen"},
                                         Rejected{{"--full"}, "--full"}, Rejected{{""}, "''"},
                                         Rejected{{"--loop", "--start", "5", "extra"}, "extra"}));

INSTANTIATE_TEST_SUITE_P(MissingOrUnwantedValue, OptionsRejected,
                         testing::Values(Rejected{{"--start"}, "--start"},
                                         Rejected{{"--display"}, "--display"},
                                         Rejected{{"--av-offset"}, "--av-offset"},
                                         Rejected{{"--loop=yes"}, "--loop"},
                                         Rejected{{"--help=1"}, "--help"}));

INSTANTIATE_TEST_SUITE_P(
    BadNumbers, OptionsRejected,
    testing::Values(Rejected{{"--start", "-1"}, "-1"}, Rejected{{"--start", "abc"}, "abc"},
                    Rejected{{"--start", "1e999"}, "1e999"}, Rejected{{"--start", "nan"}, "nan"},
                    Rejected{{"--start", "inf"}, "inf"}, Rejected{{"--start", "0x10"}, "0x10"},
                    Rejected{{"--start", "5s"}, "5s"}, Rejected{{"--start="}, "--start"},
                    Rejected{{"--start", "1e300"}, "--start"}, Rejected{{"--start", " 5"}, "' 5'"},
                    Rejected{{"--start", "5 "}, "'5 '"}, Rejected{{"--start", ""}, "''"},
                    Rejected{{"--start", "NAN"}, "NAN"}, Rejected{{"--start", "174"}, "174"},
                    Rejected{{"--start", "500"}, "500"}, Rejected{{"--display", "-1"}, "-1"},
                    Rejected{{"--display", "1.5"}, "1.5"},
                    Rejected{{"--display", "99999999999999999999"}, "9999"},
                    Rejected{{"--av-offset", "1000.5"}, "1000.5"},
                    Rejected{{"--av-offset", "-2000"}, "-2000"},
                    Rejected{{"--av-offset", "ten"}, "ten"}));

}  // namespace
}  // namespace tc
