// The presentation window through SDL2: borderless, W x H at the screen origin (or covering a
// chosen display), shown at once, with an OpenGL-capable framebuffer. The display mode is left
// alone and the cursor stays visible. A close request or Escape ends the run; SDL also turns SIGINT
// / SIGTERM into a close. Twin: window_win32.cpp.
#include <SDL.h>

#include <cstring>

#include "base/window.h"
#include "render/gl/framebuffer_format.h"

namespace tc {
namespace {

// Only ever goes from false to true; SDL's queue is per process, so one flag serves.
bool gQuitRequested = false;

// True when SDL came up on a driver that shows nothing (no display was reachable) although nobody
// asked for it by name. The capture tool and the benchmarks ask for the off-screen driver; the demo
// must not fall back to it: it would play unseen, and with nothing consuming the presented frames
// the GL queue grows by about 100 MB a second.
bool OnUnrequestedInvisibleDriver(const char** driver) {
  *driver = SDL_GetCurrentVideoDriver();
  if (*driver == nullptr) return false;
  if (std::strcmp(*driver, "offscreen") != 0 && std::strcmp(*driver, "dummy") != 0) return false;
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);  // also reads SDL_VIDEODRIVER
  return asked == nullptr || std::strstr(asked, *driver) == nullptr;
}

}  // namespace

StartupStatus CheckDisplayIndex(int display) {
  if (display == 0) return StartupOk();  // the primary, wherever the window can open at all
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    return StartupFailure("CheckDisplayIndex: SDL_Init(SDL_INIT_VIDEO) failed: %s", SDL_GetError());
  }
  const int count = SDL_GetNumVideoDisplays();
  SDL_Quit();
  if (display >= count) {
    return StartupFailure("option --display: no display %d (there are %d: 0 to %d)", display, count,
                          count - 1);
  }
  return StartupOk();
}

StartupStatus CreatePresentationWindow(Resolution resolution, const WindowPlacement& placement,
                                       WindowHandle& window) {
  window = nullptr;
  gQuitRequested = false;
  if (placement.offscreen) {
    // A normal-priority hint: SDL_VIDEODRIVER in the environment still wins.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    // SIGINT and SIGTERM stay the program's: SDL would turn them into a quit event nobody polls.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  }
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    return StartupFailure("CreatePresentationWindow: SDL_Init(SDL_INIT_VIDEO) failed: %s",
                          SDL_GetError());
  }
  const char* driver = nullptr;
  if (OnUnrequestedInvisibleDriver(&driver)) {
    SDL_Quit();
    return StartupFailure(
        "CreatePresentationWindow: no display to open the window on (SDL found only its %s "
        "driver; is DISPLAY or WAYLAND_DISPLAY set?)",
        driver);
  }
  // The designed window sits at the screen origin; another display puts it at that display's
  // origin, and a full-screen window takes the display's whole area.
  int x = 0;
  int y = 0;
  int width = resolution.width;
  int height = resolution.height;
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN;
  if (placement.fullscreen || placement.display != 0) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(placement.display, &bounds) != 0) {
      return StartupFailure("CreatePresentationWindow: display %d: SDL_GetDisplayBounds failed: %s",
                            placement.display, SDL_GetError());
    }
    x = bounds.x;
    y = bounds.y;
    if (placement.fullscreen) {
      // A borderless window over the display rather than a fullscreen mode: no mode change, and
      // it behaves the same with or without a window manager. On a HiDPI display the drawable
      // is then larger than the window; the render device sizes its viewport from the drawable.
      width = bounds.w;
      height = bounds.h;
      flags |= SDL_WINDOW_ALLOW_HIGHDPI;
    }
  }
  // On X11 the framebuffer's format is fixed with the window's visual: ask for it now.
  RequestFramebufferFormat();

  window = SDL_CreateWindow("Tumblecrate", x, y, width, height, flags);
  if (window == nullptr) {
    return StartupFailure("CreatePresentationWindow: SDL_CreateWindow (%dx%d) failed: %s", width,
                          height, SDL_GetError());
  }
  // SDL already holds the screen saver off once video is up; say so rather than rely on it.
  SDL_DisableScreenSaver();
  return StartupOk();
}

bool PumpWindowEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    switch (event.type) {
      case SDL_QUIT:  // the last window closed, or SIGINT / SIGTERM
        gQuitRequested = true;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_CLOSE) gQuitRequested = true;
        break;
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) gQuitRequested = true;
        break;
      default:
        break;
    }
  }
  return gQuitRequested;
}

void DestroyPresentationWindow(WindowHandle window) {
  if (window != nullptr) SDL_DestroyWindow(window);
  SDL_Quit();
}

}  // namespace tc
