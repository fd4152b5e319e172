/* stb_image's PNG decoder alone, from memory, behind names of its own (stb_png_impl.c), so the
 * scene's textures can be nothing but PNG whatever other image formats other code decodes. */
#ifndef TC_STB_PNG_H
#define TC_STB_PNG_H

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when the bytes hold a PNG header stb_image accepts; its width, height and channel count. */
int tc_png_info(const unsigned char* bytes, int size, int* width, int* height, int* channels);
/* RGBA8 pixels, rows top-down, or NULL (tc_png_failure_reason says why). */
unsigned char* tc_png_load_rgba(const unsigned char* bytes, int size, int* width, int* height);
void tc_png_free(unsigned char* pixels);
const char* tc_png_failure_reason(void);

#ifdef __cplusplus
}
#endif

#endif
