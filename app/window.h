// The presentation window: borderless, W x H at the screen origin, titled "Tumblecrate".
// Twin implementations per platform: window_sdl.cpp and window_win32.cpp.
#pragma once

#include "app/window_handle.h"
#include "base/resolution.h"
#include "base/status.h"

namespace tc {

StartupStatus CreatePresentationWindow(Resolution resolution, WindowHandle& window);

// Handles every pending window message once. True when a close request or the Escape key has
// arrived since the window was created: once true, it stays true.
bool PumpWindowEvents();

void DestroyPresentationWindow(WindowHandle window);

}  // namespace tc
