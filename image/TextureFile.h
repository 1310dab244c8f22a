#pragma once

class TgaImage;

// Reads a texture picture into image, whatever its format: PNG, JPEG or BMP
// by their signatures, anything else as a TGA file (which has none). The
// file's content decides, not its name. The picture arrives as a TGA of it
// would: row 0 at the bottom, blue, green, red (, alpha) tightly packed,
// 4 bytes a pixel when it has alpha. On failure (unreadable, unsupported,
// malformed, or larger than its file can hold) image is left as it was.
bool loadTextureFile(const char* path, TgaImage& image);
