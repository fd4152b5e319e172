// Pixel tests of the Direct3D 11 renderer: the table of pixel cases the OpenGL tests run too
// (tests/support/pixel_cases.h), on a window of the build's size. Built once per build size.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "render/stack.h"
#include "tests/support/pixel_cases.h"
#include "tests/windows/harness.h"

namespace tc::wintest {
namespace {

constexpr Resolution kBuildResolution = {TC_WIDTH, TC_HEIGHT};

// The stack opens on a stand-in scene in a fresh folder; each case loads its own scenes beside it.
bool OpenStack(DrawingStack& stack, std::string& folder) {
  char temp[MAX_PATH];
  if (GetTempPathA(MAX_PATH, temp) == 0) return false;
  char name[MAX_PATH];
  std::snprintf(name, sizeof name, "%stc-pixel-stack-%lu", temp, GetCurrentProcessId());
  folder = name;
  if (!test::WriteStandInScene(folder)) {
    std::printf("  could not write the stand-in scene under %s\n", name);
    return false;
  }
  ResourcePaths resources;
  SetResourceFolder((folder + "\\resources\\").c_str(), resources);
  StackOptions options;
  options.resolution = kBuildResolution;
  const StartupStatus status = OpenDrawingStack(options, resources, stack);
  if (!status.ok) std::printf("  start-up failed: %s\n", status.message);
  return status.ok;
}

}  // namespace
}  // namespace tc::wintest

int main() {
  using namespace tc::wintest;
  Suite suite;
  tc::DrawingStack stack;
  std::string folder;
  const bool open = OpenStack(stack, folder);
  suite.Case("drawing stack opens", [open] { TC_CHECK(open); });
  if (open) {
    for (size_t i = 0; i < tc::test::kPixelCaseCount; ++i) {
      const tc::test::PixelCase& pixelCase = tc::test::kPixelCases[i];
      suite.Case(pixelCase.what, [&stack, &pixelCase] {
        tc::test::PixelRig rig{stack, kBuildResolution, {}};
        pixelCase.run(rig);
        for (const std::string& failure : rig.failures)
          TC_FAIL(failure.c_str());
      });
    }
  }
  tc::CloseDrawingStack(stack);
  std::error_code error;
  std::filesystem::remove_all(folder, error);
  char name[64];
  std::snprintf(name, sizeof name, "pixel tests %dx%d", kBuildResolution.width,
                kBuildResolution.height);
  return suite.Finish(name);
}
