#include "capture/exit_status.h"

#include <cstdio>
#include <cstring>

namespace tc::capture {

volatile sig_atomic_t gStopSignal = 0;

namespace {

void OnStopSignal(int signal) {
  gStopSignal = signal;
}

}  // namespace

int Fail(int code, const std::string& line) {
  std::fprintf(stderr, "zephyrine-capture: %s\n", line.c_str());
  return code;
}

void InstallStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A dead encoder shows up as a failed write, not as the end of this process.
  signal(SIGPIPE, SIG_IGN);
}

int StopExitCode() {
  const int signal = gStopSignal;
  std::fprintf(stderr, "zephyrine-capture: stopped by %s; nothing written\n", strsignal(signal));
  return 128 + signal;
}

}  // namespace tc::capture
