/* The stb_image decoder compiled with the options of StbImage.h. */
#define STB_IMAGE_IMPLEMENTATION
#include "image/StbImage.h"
