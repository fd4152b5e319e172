/* stb_image compiled with the PNG decoder only and every symbol private to this unit; the
 * project's other stb_image unit (stb_impl.c) keeps the full decoder for the asset tools. The
 * dimension limit matches the largest texture either backend accepts. */
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#include "stb_image.h"

#include "stb_png.h"

int tc_png_info(const unsigned char* bytes, int size, int* width, int* height, int* channels) {
  return stbi_info_from_memory(bytes, size, width, height, channels);
}

unsigned char* tc_png_load_rgba(const unsigned char* bytes, int size, int* width, int* height) {
  int channels = 0;
  return stbi_load_from_memory(bytes, size, width, height, &channels, 4);
}

void tc_png_free(unsigned char* pixels) {
  stbi_image_free(pixels);
}

const char* tc_png_failure_reason(void) {
  return stbi_failure_reason();
}
