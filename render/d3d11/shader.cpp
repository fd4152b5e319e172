// The cube shader program: both stages compiled at start-up from the text the program carries,
// the two shader objects, and the input layout that maps the mesh's position stream. Twin:
// render/gl/shader.cpp.
#include <d3dcompiler.h>

#include <cstring>

#include "render/d3d11/cube_shader.h"
#include "render/render.h"

namespace tc {
namespace {

// Compiles one stage; on failure the compiler's own message becomes the start-up failure's line.
StartupStatus CompileStage(const char* entry, const char* target, ID3DBlob*& bytecode) {
  bytecode = nullptr;
  ID3DBlob* errors = nullptr;
  const HRESULT hr = D3DCompile(kCubeShaderSource, std::strlen(kCubeShaderSource), nullptr, nullptr,
                                nullptr, entry, target, 0, 0, &bytecode, &errors);
  if (hr == S_OK) {
    if (errors != nullptr) errors->Release();  // warnings only
    return StartupOk();
  }
  const char* reason = "no message from the compiler";
  int reasonLength = static_cast<int>(std::strlen(reason));
  if (errors != nullptr && errors->GetBufferSize() > 0) {
    reason = static_cast<const char*>(errors->GetBufferPointer());
    reasonLength = static_cast<int>(errors->GetBufferSize());
  }
  StartupStatus status =
      StartupFailure("BuildShaderProgram: D3DCompile %s/%s failed (HRESULT 0x%08lx): %.*s", entry,
                     target, static_cast<unsigned long>(hr), reasonLength, reason);
  if (errors != nullptr) errors->Release();
  return status;
}

}  // namespace

StartupStatus BuildShaderProgram(RenderDevice& device, ShaderProgram& program) {
  program = ShaderProgram{};
  StartupStatus status = CompileStage("vs_main", "vs_5_0", program.vertexBytecode);
  if (!status.ok) return status;
  HRESULT hr = device.device->CreateVertexShader(program.vertexBytecode->GetBufferPointer(),
                                                 program.vertexBytecode->GetBufferSize(), nullptr,
                                                 &program.vertexShader);
  if (hr != S_OK) {
    return StartupFailure("BuildShaderProgram: CreateVertexShader failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  status = CompileStage("ps_main", "ps_5_0", program.pixelBytecode);
  if (!status.ok) return status;
  hr = device.device->CreatePixelShader(program.pixelBytecode->GetBufferPointer(),
                                        program.pixelBytecode->GetBufferSize(), nullptr,
                                        &program.pixelShader);
  if (hr != S_OK) {
    return StartupFailure("BuildShaderProgram: CreatePixelShader failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  // Only the first 12 bytes of each vertex are read, whatever the stream's stride.
  D3D11_INPUT_ELEMENT_DESC position = {
      "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
  hr = device.device->CreateInputLayout(&position, 1, program.vertexBytecode->GetBufferPointer(),
                                        program.vertexBytecode->GetBufferSize(),
                                        &program.inputLayout);
  if (hr != S_OK) {
    return StartupFailure("BuildShaderProgram: CreateInputLayout failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }
  return StartupOk();
}

void ReleaseShaderProgram(ShaderProgram& program) {
  ReleaseOnce(program.pixelShader);
  ReleaseOnce(program.vertexShader);
  ReleaseOnce(program.inputLayout);
  // The bytecode blobs go last: the input layout was validated against the vertex stage's.
  ReleaseOnce(program.pixelBytecode);
  ReleaseOnce(program.vertexBytecode);
  program = ShaderProgram{};
}

}  // namespace tc
