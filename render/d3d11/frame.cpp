// Frame submission: clear, bind the whole pipeline at the frame's first draw, then per cube one
// upload of the 128 constant bytes followed by one indexed draw, and present (waiting for
// the vertical blank only when asked). Nothing is allocated and only the mapping's result is
// examined here. Twin: render/gl/frame.cpp.
#include <cstring>

#include "render/render.h"

namespace tc {
namespace {

// Everything the frame's draws rely on, bound once per frame at its first draw.
void BindPipeline(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program) {
  ID3D11DeviceContext* context = device.context;
  // 1. Viewport and depth range.
  context->RSSetViewports(1, &device.viewport);
  // 2. The render target: the back buffer's view with the depth buffer's.
  context->OMSetRenderTargets(1, &device.renderTargetView, device.depthStencilView);
  // 3. The constants at vertex-stage slot 0.
  ID3D11Buffer* constantBuffer = scene.constantBuffer;
  context->VSSetConstantBuffers(0, 1, &constantBuffer);
  // 4.-6. Both stages and the texture at pixel-stage slot 0.
  context->VSSetShader(program.vertexShader, nullptr, 0);
  ID3D11ShaderResourceView* view = scene.textureViews[device.boundTexture];
  context->PSSetShaderResources(0, 1, &view);
  context->PSSetShader(program.pixelShader, nullptr, 0);
  // 7. The rasterizer state.
  context->RSSetState(device.rasterizerState);
  // 8.-10. Input layout, vertex stream at offset 0 with the mesh's stride, index stream.
  context->IASetInputLayout(program.inputLayout);
  ID3D11Buffer* vertexBuffer = scene.vertexBuffer;
  const UINT stride = scene.vertexStride;
  const UINT offset = 0;
  context->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
  context->IASetIndexBuffer(scene.indexBuffer, scene.indexFormat, 0);
  // 11. Triangle lists.
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
}

}  // namespace

void ClearFrame(RenderDevice& device) {
  // Colour to black with alpha 0, depth to 1.0; the stencil bits are never cleared.
  static constexpr float kClearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  device.context->ClearRenderTargetView(device.renderTargetView, kClearColour);
  device.context->ClearDepthStencilView(device.depthStencilView, D3D11_CLEAR_DEPTH, 1.0f, 0);
  device.pipelinePending = true;
}

void BindCubeTexture(RenderDevice& device, const SceneResources& scene, int32_t textureIndex) {
  device.boundTexture = textureIndex;
  ID3D11ShaderResourceView* view = scene.textureViews[textureIndex];
  device.context->PSSetShaderResources(0, 1, &view);
}

void DrawCube(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
              SceneConstants& constants, const Mat4& world) {
  constants.worldMatrix = world;
  // A write-discard mapping hands out fresh storage instead of waiting for the draws still
  // reading the old content. A failed mapping skips this cube's copy, and is counted; the cube is
  // still drawn with what the buffer held before.
  D3D11_MAPPED_SUBRESOURCE mapped;
  const HRESULT hr =
      device.context->Map(scene.constantBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped);
  if (hr == S_OK) {
    std::memcpy(mapped.pData, &constants, sizeof constants);
    device.context->Unmap(scene.constantBuffer, 0);
  } else if (device.failedUploads++ == 0) {
    device.firstUploadError = static_cast<unsigned long>(hr);
  }
  if (device.pipelinePending) {
    BindPipeline(device, scene, program);
    device.pipelinePending = false;
  }
  device.context->DrawIndexed(scene.indexCount, 0, 0);
}

void PresentFrame(RenderDevice& device) {
  // The sync interval chosen at create: Present takes it every time.
  device.swapChain->Present(device.syncInterval, 0);
}

}  // namespace tc
