/* The stb_image decoder compiled with the options of StbImage.h. */
#define STB_IMAGE_IMPLEMENTATION
#include "image/StbImage.h"

/* Textures are decoded on the viewer's one thread. (Thread-local storage
   would be emulated by the MinGW runtime, which allocates on first use.) */
static size_t growthLimit = (size_t)-1;

void corvasiStbGrowthLimit(size_t bytes)
{
    growthLimit = bytes;
}

void* corvasiStbRealloc(void* block, size_t size)
{
    return size > growthLimit ? NULL : realloc(block, size);
}
