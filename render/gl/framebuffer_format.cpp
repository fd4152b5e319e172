#include "render/gl/framebuffer_format.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace tc {
namespace {

constexpr int kColourBits = 8;  // per channel, alpha included
constexpr int kDepthBits = 24;
constexpr int kStencilBits = 8;

}  // namespace

void RequestFramebufferFormat() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, kStencilBits);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
}

StartupStatus CheckFramebufferFormat() {
  if (epoxy_gl_version() < 33) {
    return StartupFailure("CreateRenderDevice: OpenGL %d.%d context, 3.3 needed",
                          epoxy_gl_version() / 10, epoxy_gl_version() % 10);
  }
  int depthBits = 0;
  int stencilBits = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencilBits);
  if (depthBits < kDepthBits || stencilBits < kStencilBits) {
    return StartupFailure(
        "CreateRenderDevice: framebuffer has %d depth and %d stencil bits, %d and %d needed",
        depthBits, stencilBits, kDepthBits, kStencilBits);
  }
  return StartupOk();
}

}  // namespace tc
