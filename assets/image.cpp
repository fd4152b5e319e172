#include "assets/image.h"

#include <cstring>

#include "assets/file_read.h"
#include "stb_png.h"

namespace tc {
namespace {

uint32_t ReadBigEndian32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// Walks the chunks up to IEND: each must lie wholly inside the file, and no image data chunk may be
// empty before the first one with data (stb_image would offset its still-null data pointer).
const char* PngChunkProblem(const uint8_t* bytes, size_t size) {
  size_t position = 8;
  bool sawImageData = false;
  for (;;) {
    if (size - position < 12) return "a PNG chunk is cut short";
    const uint32_t length = ReadBigEndian32(bytes + position);
    if (length > 0x7fffffffu || length > size - position - 12) return "a PNG chunk is cut short";
    const uint8_t* type = bytes + position + 4;
    if (std::memcmp(type, "IDAT", 4) == 0) {
      if (length == 0 && !sawImageData) return "an image data chunk is empty";
      sawImageData = true;
    }
    if (std::memcmp(type, "IEND", 4) == 0) return nullptr;
    position += 12 + static_cast<size_t>(length);
  }
}

StartupStatus ImageFailure(const char* path, const char* reason) {
  return StartupFailure("LoadSceneResources: %s: %s", path, reason);
}

}  // namespace

StartupStatus DecodePngImage(const char* name, const uint8_t* bytes, size_t size, int maxSide,
                             int wantWidth, int wantHeight, const char* sizeSource,
                             unsigned char*& pixels, int& width, int& height) {
  pixels = nullptr;
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (size < sizeof kSignature || std::memcmp(bytes, kSignature, sizeof kSignature) != 0) {
    return ImageFailure(name, "not a PNG file");
  }
  if (size > kMaxImageFileBytes) return ImageFailure(name, "the file is too large");
  const int length = static_cast<int>(size);
  // The first chunk must be the header; its size is judged before the decoder sees the file, so
  // the message names the size rather than the decoder's own limit.
  if (size < 8 + 8 + 13 || std::memcmp(bytes + 12, "IHDR", 4) != 0) {
    return ImageFailure(name, "PNG header missing");
  }
  const uint32_t headerWidth = ReadBigEndian32(bytes + 16);
  const uint32_t headerHeight = ReadBigEndian32(bytes + 20);
  const int limit = maxSide < kMaxTextureSide ? maxSide : kMaxTextureSide;
  if (headerWidth < 1 || headerHeight < 1 || headerWidth > static_cast<uint32_t>(limit) ||
      headerHeight > static_cast<uint32_t>(limit)) {
    return StartupFailure(
        "LoadSceneResources: %s: image is %lux%lu, beyond the %dx%d the GPU takes", name,
        static_cast<unsigned long>(headerWidth), static_cast<unsigned long>(headerHeight), limit,
        limit);
  }
  if (wantWidth != 0 && (headerWidth != static_cast<uint32_t>(wantWidth) ||
                         headerHeight != static_cast<uint32_t>(wantHeight))) {
    return StartupFailure("LoadSceneResources: %s: image is %lux%lu but %s is %dx%d", name,
                          static_cast<unsigned long>(headerWidth),
                          static_cast<unsigned long>(headerHeight), sizeSource, wantWidth,
                          wantHeight);
  }
  if (const char* problem = PngChunkProblem(bytes, size)) return ImageFailure(name, problem);
  int declaredWidth = 0;
  int declaredHeight = 0;
  int channels = 0;
  // The whole header as the decoder reads it: nothing is decoded or allocated for pixels yet.
  if (!tc_png_info(bytes, length, &declaredWidth, &declaredHeight, &channels) ||
      declaredWidth != static_cast<int>(headerWidth) ||
      declaredHeight != static_cast<int>(headerHeight)) {
    const char* reason = tc_png_failure_reason();
    return StartupFailure("LoadSceneResources: %s: PNG header unreadable: %s", name,
                          reason != nullptr ? reason : "unknown error");
  }
  // Four 8-bit channels whatever the file holds; rows top-down (no vertical flip).
  unsigned char* decoded = tc_png_load_rgba(bytes, length, &width, &height);
  if (decoded == nullptr) {
    const char* reason = tc_png_failure_reason();
    return StartupFailure("LoadSceneResources: %s: PNG decoding failed: %s", name,
                          reason != nullptr ? reason : "unknown error");
  }
  if (width != declaredWidth || height != declaredHeight) {
    tc_png_free(decoded);
    return ImageFailure(name, "decoded size differs from the header's");
  }
  pixels = decoded;
  return StartupOk();
}

void FreeImagePixels(unsigned char* pixels) {
  if (pixels != nullptr) tc_png_free(pixels);
}

StartupStatus LoadTextureImages(const char* const (&paths)[kTextureFileCount], int maxSide,
                                TextureImages& images) {
  for (int i = 0; i < kTextureFileCount; ++i) {
    FileBytes bytes;
    const ReadResult read = ReadRegularFile(paths[i], kMaxImageFileBytes, 0, bytes);
    StartupStatus status;
    if (read.error != ReadError::kNone) {
      status = ImageFailure(paths[i], ReadErrorText(read, kMaxImageFileBytes).c_str());
    } else {
      unsigned char* pixels = nullptr;
      int width = 0;
      int height = 0;
      const int wantWidth = i == 0 ? 0 : images.width;
      const int wantHeight = i == 0 ? 0 : images.height;
      status = DecodePngImage(paths[i], bytes.data, bytes.size, maxSide, wantWidth, wantHeight,
                              paths[0], pixels, width, height);
      if (status.ok) {
        images.pixels[i] = pixels;
        images.width = width;
        images.height = height;
      }
    }
    if (!status.ok) {
      FreeTextureImages(images);
      return status;
    }
  }
  return StartupOk();
}

void FreeTextureImages(TextureImages& images) {
  for (unsigned char*& pixels : images.pixels) {
    FreeImagePixels(pixels);
    pixels = nullptr;
  }
}

}  // namespace tc
