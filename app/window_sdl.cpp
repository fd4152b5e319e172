// The presentation window through SDL2: borderless, W x H at the screen origin, shown at once,
// with an OpenGL-capable framebuffer. The display mode is left alone and the cursor stays visible.
// A close request or Escape ends the run; SDL also turns SIGINT / SIGTERM into a close.
// Twin: window_win32.cpp.
#include <SDL.h>

#include "app/window.h"

namespace tc {
namespace {

// Only ever goes from false to true; SDL's queue is per process, so one flag serves.
bool gQuitRequested = false;

}  // namespace

StartupStatus CreatePresentationWindow(Resolution resolution, WindowHandle& window) {
  window = nullptr;
  gQuitRequested = false;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    return StartupFailure("CreatePresentationWindow: SDL_Init(SDL_INIT_VIDEO) failed: %s",
                          SDL_GetError());
  }
  // On X11 the framebuffer's format is fixed with the window's visual, so it is asked for here:
  // double-buffered RGBA8, 24-bit depth with 8-bit stencil, no multisampling, 3.3 core.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);

  window = SDL_CreateWindow("Tumblecrate", 0, 0, resolution.width, resolution.height,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
  if (window == nullptr) {
    return StartupFailure("CreatePresentationWindow: SDL_CreateWindow (%dx%d) failed: %s",
                          resolution.width, resolution.height, SDL_GetError());
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
