#pragma once

#include "image/TgaImage.h"

#include <windows.h>

#include <GL/gl.h>

#include <string>

// One texture file and the OpenGL texture made from it. The texture belongs
// to the context that was current at the upload; deleting the entry deletes
// the texture, so that context must be current then.
class TextureEntry {
public:
    GLenum glTarget = 0; // GL_TEXTURE_2D once a texture has been created
    TgaImage image;      // the decoded file, kept for the entry's lifetime
    GLuint glName = 0;   // meaningful only while valid
    std::string path;    // as asked for: the lookup key
    bool valid = false;  // holds a texture

    TextureEntry() = default;
    virtual ~TextureEntry();

    TextureEntry(const TextureEntry&) = delete;
    TextureEntry& operator=(const TextureEntry&) = delete;

    // Reads the picture file (TGA, PNG, JPEG or BMP) and uploads it. A side
    // that is not a power of two, or is larger than the driver's
    // GL_MAX_TEXTURE_SIZE, is scaled to the nearest power of two that the
    // driver takes; image keeps the picture as read. False, with no texture,
    // when the file cannot be read or scaled.
    bool loadFromFile(const char* file, bool mipmaps);
};
