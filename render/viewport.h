// Where the picture goes in a drawable of another shape: the largest rectangle of the picture's
// own proportions, centred, in whole pixels. The rest of the drawable keeps the clear colour.
#pragma once

#include <cstdint>

#include "base/resolution.h"

namespace tc {

struct ViewportRect {
  int x = 0;  // from the drawable's left edge
  int y = 0;  // from the drawable's top edge (equal bars: the same from the bottom, give or take 1)
  int width = 0;
  int height = 0;
};

inline ViewportRect FitPicture(Resolution picture, int drawableWidth, int drawableHeight) {
  ViewportRect rect;
  if (picture.width <= 0 || picture.height <= 0 || drawableWidth <= 0 || drawableHeight <= 0) {
    return rect;
  }
  // Compared in 64-bit integers: which side limits is decided exactly, with no rounding.
  const int64_t wide = static_cast<int64_t>(drawableWidth) * picture.height;
  const int64_t tall = static_cast<int64_t>(drawableHeight) * picture.width;
  if (wide >= tall) {  // bars left and right
    rect.height = drawableHeight;
    rect.width = static_cast<int>(tall / picture.height);
  } else {  // bars above and below
    rect.width = drawableWidth;
    rect.height = static_cast<int>(wide / picture.width);
  }
  rect.x = (drawableWidth - rect.width) / 2;
  rect.y = (drawableHeight - rect.height) / 2;
  return rect;
}

}  // namespace tc
