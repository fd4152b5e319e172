// The presentation window: borderless, W x H at the screen origin, titled "Tumblecrate"; or, when
// asked, on another display or covering a whole display (never changing its mode).
// Declared here, below everything that draws, so that every program opens its window the same way
// (render/stack.h); implemented once per platform in app/: window_sdl.cpp, window_win32.cpp and
// window_web.cpp (a page's canvas), and window_null.cpp for the tests' build that draws nothing.
#pragma once

#include "base/window_handle.h"
#include "base/resolution.h"
#include "base/status.h"

namespace tc {

struct WindowPlacement {
  bool fullscreen = false;  // borderless, covering the display's whole area, at its own size
  int display = 0;          // 0 is the primary display
  // Off-screen tools (capture, benchmarks): SDL's off-screen driver unless SDL_VIDEODRIVER names
  // another, and the stop signals left to the program, which polls no events while it renders.
  bool offscreen = false;
};

// Ok when `display` names a display that is there; the failure names the option. Call before
// CreatePresentationWindow, so that a bad index costs no window.
StartupStatus CheckDisplayIndex(int display);

StartupStatus CreatePresentationWindow(Resolution resolution, const WindowPlacement& placement,
                                       WindowHandle& window);

// The designed window: W x H at the primary display's origin.
inline StartupStatus CreatePresentationWindow(Resolution resolution, WindowHandle& window) {
  return CreatePresentationWindow(resolution, WindowPlacement{}, window);
}

// Handles every pending window message once. True when a close request or the Escape key has
// arrived since the window was created: once true, it stays true.
bool PumpWindowEvents();

void DestroyPresentationWindow(WindowHandle window);

}  // namespace tc
