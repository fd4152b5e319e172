// Direct3D 11: a staging copy of the back buffer, mapped for reading. Twin: back_buffer_gl.cpp.
#include "tests/support/back_buffer.h"

#include <cstdlib>
#include <cstring>

namespace tc::test {

bool ReadBackBuffer(RenderDevice& device, Pixels& pixels) {
  D3D11_TEXTURE2D_DESC desc;
  device.backBuffer->GetDesc(&desc);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  ID3D11Texture2D* staging = nullptr;
  if (device.device->CreateTexture2D(&desc, nullptr, &staging) != S_OK) return false;
  device.context->CopyResource(staging, device.backBuffer);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (device.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped) != S_OK) {
    staging->Release();
    return false;
  }
  pixels.width = static_cast<int>(desc.Width);
  pixels.height = static_cast<int>(desc.Height);
  pixels.rgba.resize(static_cast<size_t>(desc.Width) * desc.Height * 4);
  for (UINT y = 0; y < desc.Height; ++y) {
    std::memcpy(
        &pixels.rgba[static_cast<size_t>(y) * desc.Width * 4],
        static_cast<const uint8_t*>(mapped.pData) + static_cast<size_t>(y) * mapped.RowPitch,
        static_cast<size_t>(desc.Width) * 4);
  }
  device.context->Unmap(staging, 0);
  staging->Release();
  return true;
}

}  // namespace tc::test
