// A picture size in pixels. Each executable fixes its own at build time (app/build_resolution.h);
// everything below the entry procedure is handed it.
#pragma once

namespace tc {

struct Resolution {
  int width;
  int height;
};

}  // namespace tc
