// The presentation window: borderless, W x H at the screen origin, titled "Tumblecrate"; or, when
// asked, on another display or covering a whole display (never changing its mode).
// Twin implementations per platform: window_sdl.cpp and window_win32.cpp.
#pragma once

#include "app/window_handle.h"
#include "base/resolution.h"
#include "base/status.h"

namespace tc {

struct WindowPlacement {
  bool fullscreen = false;  // borderless, covering the display's whole area, at its own size
  int display = 0;          // 0 is the primary display
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
