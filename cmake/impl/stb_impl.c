/* stb_image (decoding) and stb_image_write (our asset tools) implementations, compiled once. */
#define STB_IMAGE_IMPLEMENTATION
#include "stb_image.h"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "stb_image_write.h"
