// The command line: parsed before anything is created, so a bad argument costs no window, no
// device and no sound. With no argument the run is the designed one: the borderless build-size
// window at the origin, no vertical sync, the song once from its start.
#pragma once

namespace tc {

struct PlaybackOptions {
  bool fullscreen = false;
  int display = 0;  // index of the display to open on; 0 is the primary
  bool vsync = false;
  double startSeconds = 0.0;
  bool loop = false;
  bool mute = false;
  // Positive: the picture comes that much later than the sound; negative: earlier.
  double avOffsetMs = 0.0;
};

enum class OptionsAction {
  Run,           // play with `options`
  PrintHelp,     // print UsageText() on standard output, exit 0
  PrintVersion,  // print VersionText() on standard output, exit 0
  Fail,          // print `error` (one line) on standard error, exit 2
};

struct OptionsResult {
  OptionsAction action = OptionsAction::Run;
  PlaybackOptions options;
  char error[256] = {};
};

// Pure: reads argv[1..argc-1] and touches nothing else. The error names the option, not the
// program: the caller puts the executable's name in front of it.
OptionsResult ParseOptions(int argc, const char* const* argv);

// The usage text for --help, several lines ending in a newline.
const char* UsageText();

// Exit code for a bad command line; 1 stays with start-up failures.
constexpr int kExitBadArguments = 2;

}  // namespace tc
