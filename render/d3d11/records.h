// The Direct3D 11 records behind the rendering verbs. Twin: render/gl/records.h.
// The swap chain's buffer 0 is the back buffer; a depth texture with its view is the depth
// buffer; staging textures hold the copies read back. Every member is a counted interface
// reference owned by its record (null until created) except the plain values, and a release
// leaves the record as a fresh one, so a second release does nothing.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <d3d11.h>
#include <d3dcommon.h>
#include <dxgi.h>

#include <cstdint>

#include "assets/mesh.h"
#include "base/resource_paths.h"

namespace tc {

struct RenderDevice {
  ID3D11Device* device = nullptr;
  ID3D11DeviceContext* context = nullptr;
  IDXGISwapChain* swapChain = nullptr;
  ID3D11Texture2D* backBuffer = nullptr;  // swap-chain buffer 0, held until shutdown
  ID3D11RenderTargetView* renderTargetView = nullptr;
  ID3D11Texture2D* depthTexture = nullptr;
  ID3D11DepthStencilView* depthStencilView = nullptr;
  // The one rasterizer state, bound by BindPipeline.
  ID3D11RasterizerState* rasterizerState = nullptr;
  D3D11_VIEWPORT viewport = {};
  UINT syncInterval = 0;  // Present's first argument: 1 waits for the vertical blank
  // Set by ClearFrame: the frame's first DrawCube binds the whole pipeline.
  bool pipelinePending = true;
  // Cubes drawn without their own constants, their upload having failed, and the HRESULT of the
  // first: a capture with such frames is no capture (DrawFailures, render.h).
  int64_t failedUploads = 0;
  unsigned long firstUploadError = 0;
  static constexpr const char* kUploadCall = "ID3D11DeviceContext::Map";
  // The texture BindCubeTexture bound last; the pipeline binds it again at each frame's first draw.
  int32_t boundTexture = 0;
};

struct SceneResources {
  MeshData mesh;  // the cgltf document stays alive in here until shutdown
  ID3D11Buffer* vertexBuffer = nullptr;
  ID3D11Buffer* indexBuffer = nullptr;
  ID3D11Texture2D* textures[kTextureFileCount] = {};
  ID3D11ShaderResourceView* textureViews[kTextureFileCount] = {};
  ID3D11Buffer* constantBuffer = nullptr;  // 128 bytes, dynamic, replaced before every draw
  // Derived from the mesh once at load; they never change during the run.
  UINT vertexStride = 0;
  DXGI_FORMAT indexFormat = DXGI_FORMAT_R16_UINT;
  UINT indexCount = 0;
};

struct ShaderProgram {
  ID3D11VertexShader* vertexShader = nullptr;
  ID3D11PixelShader* pixelShader = nullptr;
  ID3DBlob* vertexBytecode = nullptr;  // kept: the input layout is validated against it
  ID3DBlob* pixelBytecode = nullptr;
  ID3D11InputLayout* inputLayout = nullptr;
};

struct FrameReadback {
  static constexpr int kDepth = 3;
  ID3D11Texture2D* textures[kDepth] = {};  // staging textures, one whole back buffer each
  int width = 0;
  int height = 0;
  bool created = false;
  int64_t issued = 0;     // frames whose copy has been started
  int64_t collected = 0;  // frames handed over
};

// Releases one counted reference and forgets it.
template <class T>
void ReleaseOnce(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace tc
