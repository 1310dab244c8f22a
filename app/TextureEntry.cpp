#include "app/TextureEntry.h"

#include "image/TextureFile.h"

#include <GL/glext.h>

namespace {

bool isPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

} // namespace

TextureEntry::~TextureEntry()
{
    if (valid)
        glDeleteTextures(1, &glName);
}

bool TextureEntry::loadFromFile(const char* file, bool mipmaps)
{
    if (valid) {
        glDeleteTextures(1, &glName);
        valid = false;
    }
    if (!file)
        return false;
    path = file;
    if (!loadTextureFile(file, image))
        return false;
    // OpenGL 1.1 takes nothing else.
    if (!isPowerOfTwo(image.width) || !isPowerOfTwo(image.height))
        return false;
    // Nothing but the driver limits the size; it would refuse a larger one.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (image.width > largest || image.height > largest)
        return false;

    glGenTextures(1, &glName);
    valid = true;
    glTarget = GL_TEXTURE_2D;
    glBindTexture(GL_TEXTURE_2D, glName);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    if (mipmaps) {
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    // Minified textures are sampled from level 0 only, generated levels or not.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    // Row 0 of the image is its bottom row, which is texture row t = 0.
    const GLenum format = image.bytesPerPixel == 4 ? GL_BGRA_EXT : GL_BGR_EXT;
    glTexImage2D(GL_TEXTURE_2D, 0, 4, image.width, image.height, 0, format, GL_UNSIGNED_BYTE, image.pixels);
    return true;
}
