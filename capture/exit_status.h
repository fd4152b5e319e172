// How a capture ends: its exit codes, its one-line diagnostics on standard error, and the stop
// signals (Ctrl-C, kill, a closed terminal) that end it early with nothing written.
#pragma once

#include <signal.h>

#include <string>

namespace tc::capture {

constexpr int kExitFailure = 1;
constexpr int kExitBadArgument = 2;

// The signal that asked the capture to stop (SIGINT, SIGTERM, SIGHUP), or 0. Written only by the
// signal handler, which is why it cannot live in a record.
extern volatile sig_atomic_t gStopSignal;

// Prints "zephyrine-capture: <line>" and returns `code`, so a failure is one return statement.
int Fail(int code, const std::string& line);

// Records the stop signals in gStopSignal instead of dying, and ignores SIGPIPE.
void InstallStopHandlers();

// Says which signal stopped the capture; the exit code a shell gives a process it killed.
int StopExitCode();

}  // namespace tc::capture
