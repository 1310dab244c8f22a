#pragma once

// The stb_image decoder as this program builds it (Debian's libstb-dev):
// PNG and JPEG only, from memory only (files are read by our own code), no
// side over 65535 pixels (the largest a TGA texture can have), no failure
// texts, zeroed buffers (a file that leaves parts of a picture undrawn, a
// JPEG frame without its scans, gives the same picture every time, never
// what the heap held before) and a limit on the buffers it grows. Include
// this rather than stb_image.h, so that every file sees the same options.

#include <stddef.h>
#include <stdlib.h>

#ifdef __cplusplus
extern "C" {
#endif

// The largest size to which stb_image may grow a buffer (the inflated PNG
// rows, the gathered image data) in the decodes that follow; a larger
// request fails the decode. Version 2.27 inflates a damaged stream
// for ever, so without a limit a PNG of a few bytes takes gigabytes.
void corvasiStbGrowthLimit(size_t bytes);
void* corvasiStbRealloc(void* block, size_t size);

#ifdef __cplusplus
}
#endif

#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_FAILURE_STRINGS
#define STBI_MAX_DIMENSIONS 65535
#define STBI_MALLOC(size) calloc(1, size)
#define STBI_REALLOC(block, size) corvasiStbRealloc(block, size)
#define STBI_FREE(block) free(block)

#include "stb_image.h"
