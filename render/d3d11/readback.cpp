// Frame read-back through kDepth staging textures in rotation: each frame's back buffer is copied
// into the next texture before it is presented, and the texture is mapped only when that frame is
// collected, by which time the copy has usually finished. Twin: render/gl/readback.cpp.
#include <cstring>

#include "render/render.h"

namespace tc {

StartupStatus CreateFrameReadback(RenderDevice& device, FrameReadback& readback) {
  readback = FrameReadback{};
  // The whole back buffer: the swap chain's size, whatever part of it the picture covers.
  D3D11_TEXTURE2D_DESC desc;
  device.backBuffer->GetDesc(&desc);
  readback.width = static_cast<int>(desc.Width);
  readback.height = static_cast<int>(desc.Height);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  for (ID3D11Texture2D*& texture : readback.textures) {
    const HRESULT hr = device.device->CreateTexture2D(&desc, nullptr, &texture);
    if (hr != S_OK) {
      return StartupFailure(
          "CreateFrameReadback: %d staging textures of %dx%d failed (HRESULT 0x%08lx)",
          FrameReadback::kDepth, readback.width, readback.height, static_cast<unsigned long>(hr));
    }
  }
  readback.created = true;
  return StartupOk();
}

void ReleaseFrameReadback(FrameReadback& readback) {
  for (ID3D11Texture2D*& texture : readback.textures) {
    ReleaseOnce(texture);
  }
  readback = FrameReadback{};
}

void IssueFrameReadback(RenderDevice& device, FrameReadback& readback) {
  ID3D11Texture2D* texture = readback.textures[readback.issued % FrameReadback::kDepth];
  ++readback.issued;
  // Without its texture there is nothing to copy into.
  if (!readback.created) return;
  device.context->CopyResource(texture, device.backBuffer);
}

StartupStatus CollectFrameReadback(RenderDevice& device, FrameReadback& readback, uint8_t* topDown,
                                   size_t capacity) {
  ID3D11Texture2D* texture = readback.textures[readback.collected % FrameReadback::kDepth];
  ++readback.collected;
  if (StartupStatus fits = FrameReadbackFits(readback, capacity); !fits.ok) return fits;
  const size_t rowBytes = static_cast<size_t>(readback.width) * 4;
  const int height = readback.height;
  D3D11_MAPPED_SUBRESOURCE mapped;
  const HRESULT hr = device.context->Map(texture, 0, D3D11_MAP_READ, 0, &mapped);
  if (hr != S_OK) {
    return StartupFailure("CollectFrameReadback: ID3D11DeviceContext::Map failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }
  // Direct3D's row 0 is the top one; the driver may pad each row to RowPitch bytes.
  const uint8_t* padded = static_cast<const uint8_t*>(mapped.pData);
  for (int y = 0; y < height; ++y) {
    std::memcpy(topDown + static_cast<size_t>(y) * rowBytes,
                padded + static_cast<size_t>(y) * mapped.RowPitch, rowBytes);
  }
  device.context->Unmap(texture, 0);
  return StartupOk();
}

}  // namespace tc
