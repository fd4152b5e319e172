// The null window, for the tests' build that draws nothing: no display is needed, and close
// requests come when the test asks for them (render/null/script.h). Twins: window_sdl.cpp,
// window_win32.cpp.
#include <chrono>
#include <cstdlib>

#include "base/window.h"
#include "render/null/script.h"

namespace tc {

struct NullWindow {
  int width = 0;
  int height = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

// Like the real platforms' event queues, one per process; the close request outlives the window.
struct NullEvents {
  bool quitRequested = false;
  long pumps = 0;
  long quitAfterPumps = 0;
  long quitAfterMs = 0;
  Clock::time_point firstPump;  // start-up's end: the song has just started
};
NullEvents gEvents;

long EnvNumber(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::strtol(text, nullptr, 10) : 0;
}

}  // namespace

StartupStatus CheckDisplayIndex(int display) {
  if (display == 0) return StartupOk();
  return StartupFailure("option --display: no display %d (there is 1: 0 to 0)", display);
}

StartupStatus CreatePresentationWindow(Resolution resolution, const WindowPlacement& /*placement*/,
                                       WindowHandle& window) {
  window = nullptr;
  gEvents = NullEvents{};
  gEvents.quitAfterPumps = EnvNumber("TC_NULL_QUIT_AFTER_PUMPS");
  gEvents.quitAfterMs = EnvNumber("TC_NULL_QUIT_AFTER_MS");
  if (NullStepFails("CreatePresentationWindow")) {
    return StartupFailure("CreatePresentationWindow: failed as TC_NULL_FAIL asked");
  }
  window = new NullWindow{resolution.width, resolution.height};
  NullLog("CreatePresentationWindow %dx%d", resolution.width, resolution.height);
  return StartupOk();
}

bool PumpWindowEvents() {
  if (++gEvents.pumps == 1) gEvents.firstPump = Clock::now();
  if (gEvents.quitAfterPumps > 0 && gEvents.pumps >= gEvents.quitAfterPumps) {
    gEvents.quitRequested = true;
  }
  if (gEvents.quitAfterMs > 0 &&
      Clock::now() - gEvents.firstPump >= std::chrono::milliseconds(gEvents.quitAfterMs)) {
    gEvents.quitRequested = true;
  }
  return gEvents.quitRequested;
}

void GetWindowDrawableSize(WindowHandle window, int& width, int& height) {
  width = window != nullptr ? window->width : 0;
  height = window != nullptr ? window->height : 0;
}

void PresentWindow(WindowHandle /*window*/, bool /*waitForVerticalBlank*/) {}

void DestroyPresentationWindow(WindowHandle window) {
  if (window == nullptr) return;
  NullLog("DestroyPresentationWindow");
  delete window;
}

}  // namespace tc
