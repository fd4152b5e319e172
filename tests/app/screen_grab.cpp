// Writes the X server's whole screen (the root window, which holds every mapped window's pixels
// on a server without compositing) to standard output as a binary PPM.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <vector>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "screen_grab: cannot open the display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  XImage* image =
      XGetImage(display, root, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
  if (image == nullptr) {
    std::fprintf(stderr, "screen_grab: XGetImage failed\n");
    return 1;
  }
  std::vector<unsigned char> rgb(static_cast<size_t>(attributes.width) * attributes.height * 3);
  size_t at = 0;
  for (int y = 0; y < attributes.height; ++y) {
    for (int x = 0; x < attributes.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      rgb[at++] = static_cast<unsigned char>((pixel & image->red_mask) >> 16);
      rgb[at++] = static_cast<unsigned char>((pixel & image->green_mask) >> 8);
      rgb[at++] = static_cast<unsigned char>(pixel & image->blue_mask);
    }
  }
  std::printf("P6\n%d %d\n255\n", attributes.width, attributes.height);
  std::fwrite(rgb.data(), 1, rgb.size(), stdout);
  XDestroyImage(image);
  XCloseDisplay(display);
  return 0;
}
