/* miniaudio's implementation, compiled once and rarely rebuilt. */
#define MINIAUDIO_IMPLEMENTATION
#include "miniaudio.h"
