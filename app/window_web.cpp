// The presentation window on a web page: the page's <canvas>, placed as the largest rectangle of
// the picture's proportions in the browser window (black bars elsewhere) and placed again whenever
// the browser window or full screen changes its size. With `fullscreen` the canvas's pixels follow
// its size on the screen at the device pixel ratio; without it they stay W x H and the browser
// scales them. The canvas carries the WebGL 2 context the renderer draws with, current from the
// window's create until its destroy; the browser presents each animation frame's drawing. Full
// screen itself, and its keys, belong to the page: a page may only ask for it from a user's
// gesture. Twins: window_sdl.cpp, window_win32.cpp.
#include <emscripten/html5.h>

#include "base/window.h"
#include "render/viewport.h"

namespace tc {

struct WebWindow {
  Resolution picture{0, 0};
  bool followScreen = false;
  EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
};

namespace {

// Places the canvas: CSS pixels for its box, device pixels for its drawing buffer.
void PlaceCanvas(const WebWindow& window) {
  const double pageWidth = EM_ASM_DOUBLE({ return window.innerWidth; });
  const double pageHeight = EM_ASM_DOUBLE({ return window.innerHeight; });
  const double ratio = emscripten_get_device_pixel_ratio();
  // Fitted in device pixels, so the box and the buffer agree to the pixel.
  const ViewportRect fit = FitPicture(window.picture, static_cast<int>(pageWidth * ratio + 0.5),
                                      static_cast<int>(pageHeight * ratio + 0.5));
  if (fit.width <= 0 || fit.height <= 0) return;
  EM_ASM(
      {
        const canvas = document.querySelector(UTF8ToString($0));
        if (!canvas) return;
        const r = $5;
        canvas.style.left = ($1 / r) + 'px';
        canvas.style.top = ($2 / r) + 'px';
        canvas.style.width = ($3 / r) + 'px';
        canvas.style.height = ($4 / r) + 'px';
      },
      kWebCanvasSelector, fit.x, fit.y, fit.width, fit.height, ratio);
  if (window.followScreen) {
    emscripten_set_canvas_element_size(kWebCanvasSelector, fit.width, fit.height);
  } else {
    emscripten_set_canvas_element_size(kWebCanvasSelector, window.picture.width,
                                       window.picture.height);
  }
}

EM_BOOL OnResize(int /*type*/, const EmscriptenUiEvent* /*event*/, void* userData) {
  PlaceCanvas(*static_cast<const WebWindow*>(userData));
  return EM_FALSE;
}

// The page composites the canvas: an opaque drawing buffer shows the picture as drawn, alpha 0
// included. The browser presents each animation frame's drawing itself and never waits. No
// stencil: nothing tests it, and without one a software WebGL (SwiftShader) draws the heaviest
// frames about a fifth faster.
StartupStatus CreateWebGlContext(WebWindow& window) {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_TRUE;
  attributes.stencil = EM_FALSE;
  attributes.antialias = EM_FALSE;
  attributes.premultipliedAlpha = EM_FALSE;
  attributes.preserveDrawingBuffer = EM_FALSE;
  attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE made =
      emscripten_webgl_create_context(kWebCanvasSelector, &attributes);
  if (made <= 0) {
    return StartupFailure("CreatePresentationWindow: this browser gives no WebGL 2 context (%d)",
                          static_cast<int>(made));
  }
  window.context = made;
  if (emscripten_webgl_make_context_current(made) != EMSCRIPTEN_RESULT_SUCCESS) {
    return StartupFailure("CreatePresentationWindow: emscripten_webgl_make_context_current failed");
  }
  return StartupOk();
}

}  // namespace

StartupStatus CheckDisplayIndex(int display) {
  if (display == 0) return StartupOk();
  return StartupFailure("option --display: no display %d (a page has 1: 0 to 0)", display);
}

StartupStatus CreatePresentationWindow(Resolution resolution, const WindowPlacement& placement,
                                       WindowHandle& window) {
  window = nullptr;
  if (!EM_ASM_INT({ return document.querySelector(UTF8ToString($0)) ? 1 : 0; },
                  kWebCanvasSelector)) {
    return StartupFailure("CreatePresentationWindow: the page has no canvas %s",
                          kWebCanvasSelector);
  }
  window = new WebWindow{resolution, placement.fullscreen};
  PlaceCanvas(*window);
  emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, window, EM_FALSE, OnResize);
  // A failure leaves the window for the caller's DestroyPresentationWindow, as every failed step
  // of the drawing stack's opening does.
  return CreateWebGlContext(*window);
}

// A page is never closed from inside: the browser ends it, and with it the run.
bool PumpWindowEvents() {
  return false;
}

void GetWindowDrawableSize(WindowHandle window, int& width, int& height) {
  width = 0;
  height = 0;
  if (window != nullptr && window->context > 0) {
    emscripten_webgl_get_drawing_buffer_size(window->context, &width, &height);
  }
}

// The browser shows what an animation frame drew once its callback returns, and never waits.
void PresentWindow(WindowHandle /*window*/, bool /*waitForVerticalBlank*/) {}

void DestroyPresentationWindow(WindowHandle window) {
  if (window == nullptr) return;
  if (window->context > 0) {
    emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(window->context);
  }
  emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, nullptr);
  delete window;
}

}  // namespace tc
