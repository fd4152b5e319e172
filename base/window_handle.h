// The presentation window's handle: all that the render backends need to know of the window.
#pragma once

#if defined(TC_WINDOW_NULL)
namespace tc {
struct NullWindow;
}
#elif defined(__EMSCRIPTEN__)
namespace tc {
struct WebWindow;
}
#elif defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
struct SDL_Window;
#endif

namespace tc {

#if defined(TC_WINDOW_NULL)
using WindowHandle = NullWindow*;
#elif defined(__EMSCRIPTEN__)
using WindowHandle = WebWindow*;
// The page's <canvas>: the window draws on it and makes on it the WebGL 2 context renderers use.
constexpr char kWebCanvasSelector[] = "#canvas";
#elif defined(_WIN32)
using WindowHandle = HWND;
#else
using WindowHandle = SDL_Window*;
#endif

}  // namespace tc
