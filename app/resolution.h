// The build's output resolution, the only difference between the two executables.
#pragma once

namespace tc {

struct Resolution {
  int width;
  int height;
};

#if !defined(TC_WIDTH) || !defined(TC_HEIGHT)
#error "TC_WIDTH and TC_HEIGHT are set by the build, per executable"
#endif
constexpr Resolution kBuildResolution = {TC_WIDTH, TC_HEIGHT};

}  // namespace tc
