#pragma once

// The stb_image decoder as this program builds it (Debian's libstb-dev):
// PNG and JPEG only, from memory only (files are read by our own code), no
// side over 65535 pixels (the largest a TGA texture can have), no failure
// texts, and zeroed buffers: a file that leaves parts of a picture undrawn
// (a JPEG frame without its scans) gives the same picture every time, never
// what the heap held before. Include this rather than stb_image.h, so that every file sees
// the same options.

#include <stdlib.h>

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 65535
#define STBI_MALLOC(size) calloc(1, size)
#define STBI_REALLOC(block, size) realloc(block, size)
#define STBI_FREE(block) free(block)

#include "stb_image.h"
