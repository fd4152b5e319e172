// Frame submission: the clears, the texture and pipeline bindings, one constant-buffer upload and
// one indexed draw per cube, and presentation without waiting for the vertical blank. Also the
// release of the render objects at shutdown, in their fixed order.
#include <cstring>

#include "render/render.h"

namespace tc {

void ClearFrame(RenderDevice& rd) {
  static constexpr float kClearColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  rd.context->ClearRenderTargetView(rd.renderTargetView, kClearColour);
  // Depth only: the stencil bits are never cleared and never tested.
  rd.context->ClearDepthStencilView(rd.depthStencilView, D3D11_CLEAR_DEPTH, 1.0f, 0);
  rd.pipelinePending = true;
}

void BindCubeTexture(RenderDevice& rd, const SceneResources& scene, int32_t textureIndex) {
  ID3D11ShaderResourceView* view = scene.textureViews[textureIndex];
  rd.context->PSSetShaderResources(0, 1, &view);
}

void BindPipeline(RenderDevice& rd, const SceneResources& scene, const ShaderProgram& program,
                  int32_t textureIndex) {
  ID3D11DeviceContext* context = rd.context;
  context->RSSetViewports(1, &rd.viewport);
  context->OMSetRenderTargets(1, &rd.renderTargetView, rd.depthStencilView);
  ID3D11Buffer* constantBuffer = scene.constantBuffer;
  context->VSSetConstantBuffers(0, 1, &constantBuffer);
  context->VSSetShader(program.vertexShader, nullptr, 0);
  ID3D11ShaderResourceView* view = scene.textureViews[textureIndex];
  context->PSSetShaderResources(0, 1, &view);
  context->PSSetShader(program.pixelShader, nullptr, 0);
  context->RSSetState(rd.rasterizerState);
  context->IASetInputLayout(program.inputLayout);
  ID3D11Buffer* vertexBuffer = scene.vertexBuffer;
  const UINT stride = scene.vertexStride;
  const UINT offset = 0;
  context->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
  context->IASetIndexBuffer(scene.indexBuffer, scene.indexFormat, 0);
  context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
}

void DrawCube(RenderDevice& rd, const SceneResources& scene, const ShaderProgram& program,
              SceneConstants& constants, const Mat4& world, int32_t textureIndex) {
  constants.worldMatrix = world;
  // A failed mapping skips this upload; the cube is drawn with what the buffer held before.
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (rd.context->Map(scene.constantBuffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped) == S_OK) {
    std::memcpy(mapped.pData, &constants, sizeof constants);
    rd.context->Unmap(scene.constantBuffer, 0);
  }
  if (rd.pipelinePending) {
    BindPipeline(rd, scene, program, textureIndex);
    rd.pipelinePending = false;
  }
  rd.context->DrawIndexed(scene.indexCount, 0, 0);
}

void PresentFrame(RenderDevice& rd) {
  rd.swapChain->Present(0, 0);
}

namespace {

template <class T>
void ReleaseOnce(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

void ReleaseRenderObjects(RenderDevice& rd, SceneResources& scene, ShaderProgram& program) {
  ReleaseOnce(rd.rasterizerState);
  ReleaseOnce(rd.depthStencilView);
  ReleaseOnce(rd.depthTexture);
  ReleaseOnce(rd.renderTargetView);
  ReleaseOnce(rd.backBuffer);
  for (int i = 0; i < 3; ++i) {
    ReleaseOnce(scene.textureViews[i]);
    ReleaseOnce(scene.textures[i]);
  }
  ReleaseOnce(scene.constantBuffer);
  ReleaseOnce(program.pixelShader);
  ReleaseOnce(program.vertexShader);
  ReleaseOnce(scene.vertexBuffer);
  ReleaseOnce(scene.indexBuffer);
  ReleaseOnce(program.inputLayout);
  // The bytecode blobs are in no shutdown order; they go with the rest of the program.
  ReleaseOnce(program.pixelBytecode);
  ReleaseOnce(program.vertexBytecode);
  // The mesh document outlives every GPU object built from it.
  FreeMeshData(scene.mesh);
}

}  // namespace tc
