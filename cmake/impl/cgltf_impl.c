/* cgltf's implementation, compiled once. */
#define CGLTF_IMPLEMENTATION
#include "cgltf.h"
