// The presentation window through SDL2: borderless, W x H at the screen origin (or covering a
// chosen display), shown at once, with an OpenGL 3.3 core context on its framebuffer, current
// until the window goes. The display mode is left alone and the cursor stays visible. A close
// request or Escape ends the run; SDL also turns SIGINT / SIGTERM into a close. Twin:
// window_win32.cpp.
#include <SDL.h>

#include <cstring>

#include "base/window.h"
#include "render/gl/framebuffer_format.h"

namespace tc {
namespace {

// Only ever goes from false to true; SDL's queue is per process, so one flag serves.
bool gQuitRequested = false;

// What the window keeps beside SDL's window, under kDrawingKey in the window's data.
struct SdlDrawing {
  SDL_GLContext context = nullptr;
  int swapInterval = -1;  // the one last asked for; -1 before the first present
};
constexpr char kDrawingKey[] = "tc.drawing";

SdlDrawing* Drawing(SDL_Window* window) {
  return static_cast<SdlDrawing*>(SDL_GetWindowData(window, kDrawingKey));
}

// On X11 the format is fixed with the window's visual: asked for between SDL_Init and
// SDL_CreateWindow.
void RequestFramebufferFormat() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kFramebufferGlMajor);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kFramebufferGlMinor);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, kFramebufferColourBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, kFramebufferColourBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, kFramebufferColourBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, kFramebufferColourBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kFramebufferDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, kFramebufferStencilBits);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
}

// The context, made current on the window; fails, naming what falls short, when the framebuffer
// has less depth or stencil than was asked for.
StartupStatus CreateDrawingContext(SDL_Window* window) {
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    return StartupFailure(
        "CreatePresentationWindow: SDL_GL_CreateContext (OpenGL 3.3 core) failed: %s",
        SDL_GetError());
  }
  SDL_SetWindowData(window, kDrawingKey, new SdlDrawing{context});
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    return StartupFailure("CreatePresentationWindow: SDL_GL_MakeCurrent failed: %s",
                          SDL_GetError());
  }
  int depthBits = 0;
  int stencilBits = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencilBits);
  if (depthBits < kFramebufferDepthBits || stencilBits < kFramebufferStencilBits) {
    return StartupFailure(
        "CreatePresentationWindow: framebuffer has %d depth and %d stencil bits, %d and %d needed",
        depthBits, stencilBits, kFramebufferDepthBits, kFramebufferStencilBits);
  }
  return StartupOk();
}

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
  RequestFramebufferFormat();

  window = SDL_CreateWindow("Tumblecrate", x, y, width, height, flags);
  if (window == nullptr) {
    return StartupFailure("CreatePresentationWindow: SDL_CreateWindow (%dx%d) failed: %s", width,
                          height, SDL_GetError());
  }
  // SDL already holds the screen saver off once video is up; say so rather than rely on it.
  SDL_DisableScreenSaver();
  // A failure leaves the window for the caller's DestroyPresentationWindow, as every failed step
  // of the drawing stack's opening does.
  return CreateDrawingContext(window);
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

void GetWindowDrawableSize(WindowHandle window, int& width, int& height) {
  SDL_GL_GetDrawableSize(window, &width, &height);
}

void PresentWindow(WindowHandle window, bool waitForVerticalBlank) {
  // GL keeps the swap interval in the context (Direct3D 11 passes it to every Present), so it is
  // set once, before the first swap. Some servers (Xvfb) do not support setting it, which is
  // harmless: they have no vertical blank to wait for.
  SdlDrawing* drawing = Drawing(window);
  const int interval = waitForVerticalBlank ? 1 : 0;
  if (drawing != nullptr && drawing->swapInterval != interval) {
    SDL_GL_SetSwapInterval(interval);
    drawing->swapInterval = interval;
  }
  SDL_GL_SwapWindow(window);
}

void DestroyPresentationWindow(WindowHandle window) {
  if (window != nullptr) {
    // The context goes first, while its window still exists.
    SdlDrawing* drawing = Drawing(window);
    if (drawing != nullptr) {
      SDL_GL_MakeCurrent(window, nullptr);
      SDL_GL_DeleteContext(drawing->context);
      SDL_SetWindowData(window, kDrawingKey, nullptr);
      delete drawing;
    }
    SDL_DestroyWindow(window);
  }
  SDL_Quit();
}

}  // namespace tc
