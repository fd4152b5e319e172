// The OpenGL framebuffer's format, stated in this one place: a 3.3 core context on a
// double-buffered RGBA8 default framebuffer with 24-bit depth and 8-bit stencil, no
// multisampling. On X11 the format is fixed with the window's visual, so the Linux window asks for
// it before it exists and checks what it got once its context is current (app/window_sdl.cpp);
// the device checks the context's version. Direct3D 11 states the same format in its swap chain's
// description instead (render/d3d11/device.cpp). WebGL 2 takes its format with the context, which
// the page's canvas makes (app/window_web.cpp).
#pragma once

namespace tc {

constexpr int kFramebufferGlMajor = 3;
constexpr int kFramebufferGlMinor = 3;
constexpr int kFramebufferColourBits = 8;  // per channel, alpha included
constexpr int kFramebufferDepthBits = 24;
constexpr int kFramebufferStencilBits = 8;

}  // namespace tc
