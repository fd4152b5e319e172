// The build's output resolution, the only difference between the two executables. Only the entry
// procedures (main.cpp, and the page's main_web.cpp) include this; the libraries below them take
// the resolution as an argument.
#pragma once

#include "base/resolution.h"

namespace tc {

#if !defined(TC_WIDTH) || !defined(TC_HEIGHT)
#error "TC_WIDTH and TC_HEIGHT are set by the build, per executable"
#endif
constexpr Resolution kBuildResolution = {TC_WIDTH, TC_HEIGHT};

}  // namespace tc
