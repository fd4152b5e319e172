// The presentation window: borderless, W x H at the screen origin, titled "Tumblecrate".
// One implementation per platform (window_sdl.cpp, window_win32.cpp).
#pragma once

#include "app/resolution.h"
#include "app/status.h"
#include "demo/timeline.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
struct SDL_Window;
#endif

namespace tc {

#if defined(_WIN32)
using WindowHandle = HWND;
#else
using WindowHandle = SDL_Window*;
#endif

StartupStatus CreatePresentationWindow(Resolution resolution, WindowHandle& window);

// Handles every pending window message once: a close request or Escape sets
// `state.quitRequested`; nothing else changes.
void PumpWindowEvents(DemoState& state);

void DestroyPresentationWindow(WindowHandle window);

}  // namespace tc
