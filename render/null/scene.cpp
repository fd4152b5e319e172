// Null scene resources: the mesh and the images are read and checked as a real backend does
// (a bad file fails start-up the same way), then nothing is uploaded. Twins: render/gl/scene.cpp,
// render/d3d11/scene.cpp.
#include "assets/image.h"
#include "render/null/script.h"
#include "render/render.h"

namespace tc {

StartupStatus LoadSceneResources(RenderDevice& /*device*/, const SceneConstants& /*constants*/,
                                 const ResourcePaths& resources, SceneResources& scene) {
  scene = SceneResources{};
  StartupStatus status = LoadMeshFile(resources.mesh, scene.mesh);
  if (!status.ok) return status;
  TextureImages images;
  const char* const texturePaths[kTextureFileCount] = {resources.textures[0], resources.textures[1],
                                                       resources.textures[2]};
  status = LoadTextureImages(texturePaths, kMaxTextureSide, images);
  FreeTextureImages(images);
  if (status.ok && NullStepFails("LoadSceneResources")) {
    status = StartupFailure("LoadSceneResources: failed as TC_NULL_FAIL asked");
  }
  // Whatever the load made is the record's to release, as on a real backend.
  scene.loaded = true;
  NullLog("LoadSceneResources");
  return status;
}

void ReleaseSceneResources(SceneResources& scene) {
  if (scene.loaded) NullLog("ReleaseSceneResources");
  FreeMeshData(scene.mesh);
  scene = SceneResources{};
}

}  // namespace tc
