// The Direct3D 11 device on the default hardware adapter, its immediate context and the
// flip-model swap chain on the presentation window, whose description holds the framebuffer's
// format; the back buffer's render-target view and the depth buffer; no state objects for what
// Direct3D 11 gives by default; and the one rasterizer state. Created once; the swap chain is
// never resized. Twin: render/gl/device.cpp.
#include "base/window.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present) {
  device = RenderDevice{};
  UINT width = static_cast<UINT>(resolution.width);
  UINT height = static_cast<UINT>(resolution.height);
  if (present.fitToWindow) {
    // The swap chain takes the window's client size in pixels (the process is DPI aware, so
    // these are real pixels). The picture goes into the largest centred part of it.
    int clientWidth = 0;
    int clientHeight = 0;
    GetWindowDrawableSize(window, clientWidth, clientHeight);
    if (clientWidth > 0 && clientHeight > 0) {
      width = static_cast<UINT>(clientWidth);
      height = static_cast<UINT>(clientHeight);
    }
  }

  // The device and the swap chain; the framebuffer's format is the swap chain's (BufferDesc) and
  // the depth texture's, both below. GL asks for it before the window exists instead.
  DXGI_SWAP_CHAIN_DESC chain = {};
  chain.BufferDesc.Width = width;
  chain.BufferDesc.Height = height;
  chain.BufferDesc.RefreshRate.Numerator = 0;
  chain.BufferDesc.RefreshRate.Denominator = 0;
  chain.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  chain.BufferDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED;
  chain.BufferDesc.Scaling = DXGI_MODE_SCALING_UNSPECIFIED;
  chain.SampleDesc.Count = 1;
  chain.SampleDesc.Quality = 0;
  chain.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
  chain.BufferCount = 2;
  chain.OutputWindow = window;
  chain.Windowed = TRUE;
  chain.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
  chain.Flags = 0;

  // No debug layer, the runtime's default feature-level list, no fallback to another driver.
  HRESULT hr = D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr,
                                             0, D3D11_SDK_VERSION, &chain, &device.swapChain,
                                             &device.device, nullptr, &device.context);
  if (hr != S_OK) {
    return StartupFailure(
        "CreateRenderDevice: D3D11CreateDeviceAndSwapChain failed (HRESULT 0x%08lx)",
        static_cast<unsigned long>(hr));
  }

  // Presentation waits for the vertical blank only when asked. Direct3D 11 passes the interval to
  // every Present; GL keeps it in the context.
  device.syncInterval = present.vsync ? 1 : 0;

  // The back buffer stays referenced in the record until shutdown.
  hr = device.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D),
                                   reinterpret_cast<void**>(&device.backBuffer));
  if (hr != S_OK) {
    return StartupFailure(
        "CreateRenderDevice: IDXGISwapChain::GetBuffer(0) failed (HRESULT 0x%08lx)",
        static_cast<unsigned long>(hr));
  }
  hr = device.device->CreateRenderTargetView(device.backBuffer, nullptr, &device.renderTargetView);
  if (hr != S_OK) {
    return StartupFailure("CreateRenderDevice: CreateRenderTargetView failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  D3D11_TEXTURE2D_DESC depth = {};
  depth.Width = width;
  depth.Height = height;
  depth.MipLevels = 1;
  depth.ArraySize = 1;
  depth.Format = DXGI_FORMAT_R24G8_TYPELESS;
  depth.SampleDesc.Count = 1;
  depth.SampleDesc.Quality = 0;
  depth.Usage = D3D11_USAGE_DEFAULT;
  depth.BindFlags = D3D11_BIND_DEPTH_STENCIL;
  depth.CPUAccessFlags = 0;
  depth.MiscFlags = 0;
  hr = device.device->CreateTexture2D(&depth, nullptr, &device.depthTexture);
  if (hr != S_OK) {
    return StartupFailure(
        "CreateRenderDevice: CreateTexture2D of the %ux%u depth buffer failed (HRESULT 0x%08lx)",
        width, height, static_cast<unsigned long>(hr));
  }

  D3D11_DEPTH_STENCIL_VIEW_DESC depthView = {};
  depthView.Format = DXGI_FORMAT_D24_UNORM_S8_UINT;
  depthView.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
  depthView.Flags = 0;
  depthView.Texture2D.MipSlice = 0;
  hr = device.device->CreateDepthStencilView(device.depthTexture, &depthView,
                                             &device.depthStencilView);
  if (hr != S_OK) {
    return StartupFailure("CreateRenderDevice: CreateDepthStencilView failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  // Counter-clockwise triangles are front faces; clockwise ones are culled.
  D3D11_RASTERIZER_DESC raster = {};
  raster.FillMode = D3D11_FILL_SOLID;
  raster.CullMode = D3D11_CULL_BACK;
  raster.FrontCounterClockwise = TRUE;
  raster.DepthBias = 0;
  raster.DepthBiasClamp = 0.0f;
  raster.SlopeScaledDepthBias = 0.0f;
  raster.DepthClipEnable = TRUE;
  raster.ScissorEnable = FALSE;
  raster.MultisampleEnable = FALSE;
  raster.AntialiasedLineEnable = FALSE;
  hr = device.device->CreateRasterizerState(&raster, &device.rasterizerState);
  if (hr != S_OK) {
    return StartupFailure("CreateRenderDevice: CreateRasterizerState failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  // No depth-stencil, blend or sampler state is created: the context's defaults are the ones the
  // pipeline relies on (depth test LESS with writes, no stencil, no blending, linear sampling
  // clamped on every axis).

  // Direct3D clips z / w to 0..1, the range the demo's projection writes: nothing to remap.

  // Direct3D counts the viewport's y from the top.
  const ViewportRect fit =
      present.fitToWindow
          ? FitPicture(resolution, static_cast<int>(width), static_cast<int>(height))
          : ViewportRect{0, 0, resolution.width, resolution.height};
  device.viewport.TopLeftX = static_cast<float>(fit.x);
  device.viewport.TopLeftY = static_cast<float>(fit.y);
  device.viewport.Width = static_cast<float>(fit.width);
  device.viewport.Height = static_cast<float>(fit.height);
  device.viewport.MinDepth = 0.0f;
  device.viewport.MaxDepth = 1.0f;
  return StartupOk();
}

void ReleaseRenderDevice(RenderDevice& device) {
  // The pipeline objects first, the back buffer held since start-up with them; then the swap chain
  // just before the context and device it was created with.
  ReleaseOnce(device.rasterizerState);
  ReleaseOnce(device.depthStencilView);
  ReleaseOnce(device.depthTexture);
  ReleaseOnce(device.renderTargetView);
  ReleaseOnce(device.backBuffer);
  ReleaseOnce(device.swapChain);
  ReleaseOnce(device.context);
  ReleaseOnce(device.device);
  device = RenderDevice{};
}

}  // namespace tc
