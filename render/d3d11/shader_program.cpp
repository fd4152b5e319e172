// The cube shader program: both stages compiled at start-up from the text the program carries,
// the two shader objects and the input layout that maps the mesh's position stream.
#include <d3dcompiler.h>

#include <cstring>

#include "render/d3d11/cube_shader.h"
#include "render/render.h"

namespace tc {
namespace {

// Compiles one stage; on failure the compiler's own message becomes the start-up failure's line.
StartupStatus CompileStage(const char* text, size_t length, const char* entry, const char* target,
                           ID3DBlob*& bytecode) {
  bytecode = nullptr;
  ID3DBlob* errors = nullptr;
  const HRESULT hr =
      D3DCompile(text, length, nullptr, nullptr, nullptr, entry, target, 0, 0, &bytecode, &errors);
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
      StartupFailure(1, "shader: D3DCompile %s/%s failed (HRESULT 0x%08lx): %.*s", entry, target,
                     static_cast<unsigned long>(hr), reasonLength, reason);
  if (errors != nullptr) errors->Release();
  return status;
}

}  // namespace

StartupStatus BuildShaderProgram(RenderDevice& rd, Resolution resolution, ShaderProgram& program) {
  // Both builds compile the same text: the only resolution-dependent value was the initialiser of
  // texelSize, which the runtime never applied and which the text therefore no longer carries.
  (void)resolution;
  program = ShaderProgram{};
  const char* text = kCubeShaderSource;
  const size_t length = std::strlen(text);

  StartupStatus status = CompileStage(text, length, "vs_main", "vs_5_0", program.vertexBytecode);
  if (!status.ok) return status;
  HRESULT hr = rd.device->CreateVertexShader(program.vertexBytecode->GetBufferPointer(),
                                             program.vertexBytecode->GetBufferSize(), nullptr,
                                             &program.vertexShader);
  if (hr != S_OK) {
    return StartupFailure(1, "shader: CreateVertexShader failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  status = CompileStage(text, length, "ps_main", "ps_5_0", program.pixelBytecode);
  if (!status.ok) return status;
  hr = rd.device->CreatePixelShader(program.pixelBytecode->GetBufferPointer(),
                                    program.pixelBytecode->GetBufferSize(), nullptr,
                                    &program.pixelShader);
  if (hr != S_OK) {
    return StartupFailure(1, "shader: CreatePixelShader failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }

  // Only the first 12 bytes of each vertex are read, whatever the stream's stride.
  D3D11_INPUT_ELEMENT_DESC position = {
      "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
  hr = rd.device->CreateInputLayout(&position, 1, program.vertexBytecode->GetBufferPointer(),
                                    program.vertexBytecode->GetBufferSize(), &program.inputLayout);
  if (hr != S_OK) {
    return StartupFailure(1, "shader: CreateInputLayout failed (HRESULT 0x%08lx)",
                          static_cast<unsigned long>(hr));
  }
  return StartupOk();
}

}  // namespace tc
