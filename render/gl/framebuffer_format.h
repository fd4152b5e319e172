// The OpenGL framebuffer's format, asked for and checked in this one place: a 3.3 core context on
// a double-buffered RGBA8 default framebuffer with 24-bit depth and 8-bit stencil, no
// multisampling. On X11 the format is fixed with the window's visual, so the SDL window asks for
// it between SDL_Init and SDL_CreateWindow (app/window_sdl.cpp); the device checks what it got
// once its context is current. Direct3D 11 states the same format in its swap chain's
// description instead (render/d3d11/device.cpp). WebGL 2 takes the format with the context, so on
// a web page asking and making are one call.
#pragma once

#include "base/status.h"

namespace tc {

#if defined(__EMSCRIPTEN__)
// A WebGL 2 context on the page's canvas, made current: an opaque RGBA8 drawing buffer with depth,
// no stencil and no antialiasing. `context` is its handle.
StartupStatus CreateWebGlContext(int& context);
#else
// After SDL_Init(SDL_INIT_VIDEO), before SDL_CreateWindow.
void RequestFramebufferFormat();

// With the device's context current: fails, naming what falls short, when the context or the
// framebuffer is less than was asked for.
StartupStatus CheckFramebufferFormat();
#endif

}  // namespace tc
