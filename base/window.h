// The presentation window: borderless, W x H at the screen origin, titled "Tumblecrate"; or, when
// asked, on another display or covering a whole display (never changing its mode).
// Declared here, below everything that draws, so that every program opens its window the same way
// (render/stack.h); implemented once per platform in app/: window_sdl.cpp, window_win32.cpp and
// window_web.cpp (a page's canvas), and window_null.cpp for the tests' build that draws nothing.
// As a GUI's platform layer does, the window owns what ties drawing to the window system: an
// OpenGL window (SDL) or a page's canvas makes its drawing context with the window, current from
// then until the window is destroyed, and presents what was drawn; a renderer only draws, and asks
// the window how many pixels it draws into.
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

// The size in pixels of what the window draws into: on a HiDPI display more pixels than the window
// has points, and on a page the canvas's drawing buffer, which follows the browser window.
void GetWindowDrawableSize(WindowHandle window, int& width, int& height);

// Shows what was drawn since the last present, at the next vertical blank only when asked. Not on
// Win32: Direct3D 11 presents through the swap chain its device made on the window. On a page it
// does nothing: the browser shows each animation frame's drawing when its callback returns.
void PresentWindow(WindowHandle window, bool waitForVerticalBlank);

// Releases the window and, where it has one, its drawing context.
void DestroyPresentationWindow(WindowHandle window);

}  // namespace tc
