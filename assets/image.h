// The three cube textures from PNG files (stb_image, PNG decoder only), decoded and handed to the
// render backends, which only upload them. The folder the files come from is editable by anyone,
// so each is taken as hostile: it must be a regular file holding a PNG whose declared size the GPU
// can hold, and every size is checked without arithmetic that can wrap. A bad file ends start-up
// with one line naming it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/resource_paths.h"
#include "base/status.h"

namespace tc {

// The largest texture side either backend accepts (Direct3D 11's required limit); a device that
// reports less lowers it further.
constexpr int kMaxTextureSide = 16384;
// Upper bound on what one image file may occupy.
constexpr uint64_t kMaxImageFileBytes = 256u << 20;

// Three images decoded to 8-bit RGBA, rows top-down as stored in the files, all of one size.
struct TextureImages {
  unsigned char* pixels[kTextureFileCount] = {};
  int width = 0;
  int height = 0;
};

// Reads and decodes `paths` in order. Each must be a regular file holding a PNG whose declared
// width and height are at most `maxSide` (and kMaxTextureSide) and equal to the first image's;
// both are checked from the header before any pixel is decoded. On failure the images decoded so
// far are released again.
StartupStatus LoadTextureImages(const char* const (&paths)[kTextureFileCount], int maxSide,
                                TextureImages& images);
void FreeTextureImages(TextureImages& images);

// One PNG file's bytes to RGBA8, under the same checks; `wantWidth`/`wantHeight` of 0 accept any
// size, otherwise the image must have that size (`sizeSource` names the file that set it). The
// pixels are released with FreeImagePixels.
StartupStatus DecodePngImage(const char* name, const uint8_t* bytes, size_t size, int maxSide,
                             int wantWidth, int wantHeight, const char* sizeSource,
                             unsigned char*& pixels, int& width, int& height);
void FreeImagePixels(unsigned char* pixels);

}  // namespace tc
