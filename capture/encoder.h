// The encoder is the ffmpeg program, run as a child process: raw RGBA frames arrive on its
// standard input, the sound track is a WAV file it opens as /dev/fd/3, and its diagnostics go to
// an anonymous file from which the last line is relayed when it fails. It runs in a process group
// of its own, so that Ctrl-C reaches only this program, which then decides the encoder's fate.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "capture/frame_plan.h"
#include "capture/options.h"

namespace tc::capture {

struct EncoderProcess {
  pid_t pid = -1;
  int input = -1;  // write end of the encoder's standard input
  int log = -1;    // the encoder's standard error
};

// The full path of `program` found along PATH, as execvp would find it; empty when absent.
std::string FindProgram(const char* program);

// ffmpeg's command line for `options`, reading W x H RGBA frames at the plan's rate and the WAV
// at /dev/fd/3, writing `temporaryOutput`.
std::vector<std::string> EncoderArguments(const CaptureOptions& options,
                                          const std::string& temporaryOutput);

// Starts `program` with `arguments` (argv[1..]); `songFd` becomes its descriptor 3. False, with
// the line to print in `error`, when it cannot be started.
bool StartEncoder(const std::string& program, const std::vector<std::string>& arguments, int songFd,
                  EncoderProcess& encoder, std::string& error);

// Writes all of `bytes`; false when the encoder has closed its input (it has failed or died).
bool FeedEncoder(const EncoderProcess& encoder, const void* bytes, size_t count);

// Ends the input and waits for the encoder to finish. True on exit code 0; otherwise `error` says
// how it ended and quotes its last diagnostic line. A stop signal that arrives meanwhile (a
// non-zero `stopSignal`) kills the encoder instead of waiting on.
bool FinishEncoder(EncoderProcess& encoder, const volatile sig_atomic_t& stopSignal,
                   std::string& error);

// Kills the encoder at once and reaps it: nothing it was writing is kept.
void KillEncoder(EncoderProcess& encoder);

}  // namespace tc::capture
