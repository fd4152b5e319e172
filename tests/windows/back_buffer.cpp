#include "tests/windows/back_buffer.h"

#include <cstdlib>
#include <cstring>

namespace tc::wintest {

bool ReadBackBuffer(RenderDevice& rd, Pixels& pixels) {
  D3D11_TEXTURE2D_DESC desc;
  rd.backBuffer->GetDesc(&desc);
  desc.Usage = D3D11_USAGE_STAGING;
  desc.BindFlags = 0;
  desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  desc.MiscFlags = 0;
  ID3D11Texture2D* staging = nullptr;
  if (rd.device->CreateTexture2D(&desc, nullptr, &staging) != S_OK) return false;
  rd.context->CopyResource(staging, rd.backBuffer);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (rd.context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped) != S_OK) {
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
  rd.context->Unmap(staging, 0);
  staging->Release();
  return true;
}

bool PixelNear(const Pixels& pixels, int x, int y, const uint8_t (&expected)[4], int tolerance) {
  const uint8_t* p = pixels.At(x, y);
  for (int c = 0; c < 4; ++c) {
    if (std::abs(static_cast<int>(p[c]) - static_cast<int>(expected[c])) > tolerance) return false;
  }
  return true;
}

}  // namespace tc::wintest
