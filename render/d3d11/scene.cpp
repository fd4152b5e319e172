// The scene's GPU resources: the mesh's position stream and indices in two default-usage buffers,
// the three textures with their views, and the dynamic 128-byte constant buffer. Everything but
// the constant buffer is filled once through initial data and never written again. Twin:
// render/gl/scene.cpp.
#include "assets/image.h"
#include "assets/mesh.h"
#include "render/render.h"

namespace tc {
namespace {

// A default-usage buffer, filled once through its initial data and never written again.
StartupStatus CreateStaticBuffer(ID3D11Device* device, const void* bytes, uint32_t byteCount,
                                 UINT bindFlags, const char* meshPath, const char* what,
                                 ID3D11Buffer*& buffer) {
  D3D11_BUFFER_DESC desc = {};
  desc.ByteWidth = byteCount;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = bindFlags;
  desc.CPUAccessFlags = 0;
  desc.MiscFlags = 0;
  desc.StructureByteStride = 0;
  D3D11_SUBRESOURCE_DATA data = {};
  data.pSysMem = bytes;
  const HRESULT hr = device->CreateBuffer(&desc, &data, &buffer);
  if (hr != S_OK) {
    return StartupFailure(
        "LoadSceneResources: %s: CreateBuffer of the %s (%u bytes) failed "
        "(HRESULT 0x%08lx)",
        meshPath, what, byteCount, static_cast<unsigned long>(hr));
  }
  return StartupOk();
}

// Creates texture i and its view from the decoded image i.
StartupStatus CreateTexture(ID3D11Device* device, const TextureImages& images, int i,
                            const char* path, SceneResources& scene) {
  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = static_cast<UINT>(images.width);
  desc.Height = static_cast<UINT>(images.height);
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  desc.SampleDesc.Count = 1;
  desc.SampleDesc.Quality = 0;
  desc.Usage = D3D11_USAGE_DEFAULT;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  desc.CPUAccessFlags = 0;
  desc.MiscFlags = 0;
  D3D11_SUBRESOURCE_DATA data = {};
  data.pSysMem = images.pixels[i];
  data.SysMemPitch = static_cast<UINT>(images.width) * 4;  // rows tightly packed, top row first
  data.SysMemSlicePitch = 0;
  HRESULT hr = device->CreateTexture2D(&desc, &data, &scene.textures[i]);
  if (hr != S_OK) {
    return StartupFailure("LoadSceneResources: %s: CreateTexture2D %dx%d failed (HRESULT 0x%08lx)",
                          path, images.width, images.height, static_cast<unsigned long>(hr));
  }
  D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
  viewDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
  viewDesc.Texture2D.MostDetailedMip = 0;
  viewDesc.Texture2D.MipLevels = 1;
  hr = device->CreateShaderResourceView(scene.textures[i], &viewDesc, &scene.textureViews[i]);
  if (hr != S_OK) {
    return StartupFailure(
        "LoadSceneResources: %s: CreateShaderResourceView failed (HRESULT 0x%08lx)", path,
        static_cast<unsigned long>(hr));
  }
  return StartupOk();
}

}  // namespace

StartupStatus LoadSceneResources(RenderDevice& device, const SceneConstants& constants,
                                 const ResourcePaths& resources, SceneResources& scene) {
  scene = SceneResources{};
  ID3D11Device* d3d = device.device;

  StartupStatus status = LoadMeshFile(resources.mesh, scene.mesh);
  if (!status.ok) return status;
  const MeshData& mesh = scene.mesh;
  scene.vertexStride = mesh.vertexStride;
  // Only 32-bit indices select R32; 16-bit ones (and 8-bit ones, widened at load) are R16.
  scene.indexFormat = mesh.indexSize == 4 ? DXGI_FORMAT_R32_UINT : DXGI_FORMAT_R16_UINT;
  scene.indexCount = mesh.indexCount;

  status = CreateStaticBuffer(d3d, mesh.vertexBytes, mesh.vertexByteCount, D3D11_BIND_VERTEX_BUFFER,
                              resources.mesh, "vertex buffer", scene.vertexBuffer);
  if (!status.ok) return status;
  status = CreateStaticBuffer(d3d, mesh.indexBytes, mesh.indexByteCount, D3D11_BIND_INDEX_BUFFER,
                              resources.mesh, "index buffer", scene.indexBuffer);
  if (!status.ok) return status;

  TextureImages images;
  // Fixed by the feature level, 11_0 at least since the shaders need it, and the images' headers
  // are checked against it. (Direct3D 11 has no query; GL asks its context.)
  const int maxTextureSide = D3D11_REQ_TEXTURE2D_U_OR_V_DIMENSION;
  const char* const texturePaths[kTextureFileCount] = {resources.textures[0], resources.textures[1],
                                                       resources.textures[2]};
  status = LoadTextureImages(texturePaths, maxTextureSide, images);
  if (!status.ok) return status;
  for (int i = 0; i < kTextureFileCount; ++i) {
    status = CreateTexture(d3d, images, i, texturePaths[i], scene);
    if (!status.ok) {
      FreeTextureImages(images);
      return status;
    }
  }
  FreeTextureImages(images);

  // Dynamic and CPU-writable: DrawCube replaces all 128 bytes with a write-discard map per cube.
  D3D11_BUFFER_DESC desc = {};
  desc.ByteWidth = sizeof(SceneConstants);
  desc.Usage = D3D11_USAGE_DYNAMIC;
  desc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
  desc.MiscFlags = 0;
  desc.StructureByteStride = 0;
  D3D11_SUBRESOURCE_DATA data = {};
  data.pSysMem = &constants;
  const HRESULT hr = d3d->CreateBuffer(&desc, &data, &scene.constantBuffer);
  if (hr != S_OK) {
    return StartupFailure(
        "LoadSceneResources: CreateBuffer of the constant buffer failed "
        "(HRESULT 0x%08lx)",
        static_cast<unsigned long>(hr));
  }
  return StartupOk();
}

void ReleaseSceneResources(SceneResources& scene) {
  for (int i = 0; i < kTextureFileCount; ++i) {
    ReleaseOnce(scene.textureViews[i]);
    ReleaseOnce(scene.textures[i]);
  }
  ReleaseOnce(scene.constantBuffer);
  ReleaseOnce(scene.vertexBuffer);
  ReleaseOnce(scene.indexBuffer);
  // The mesh document outlives every GPU object built from it.
  FreeMeshData(scene.mesh);
  scene = SceneResources{};
}

}  // namespace tc
