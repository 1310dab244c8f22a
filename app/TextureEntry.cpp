#include "app/TextureEntry.h"

#include "image/TextureFile.h"

#include <GL/glext.h>
#include <GL/glu.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace {

// The power of two nearest to side by ratio (250 -> 256, 150 -> 128, 768 ->
// 1024: below p * sqrt(2) the lower power p is nearer, above it 2p), and no
// larger than the driver's limit. side is above 0. A tie cannot happen: the
// square of a whole number is never twice another square.
int textureSide(int side, int largest)
{
    std::int64_t lower = 1;
    while (lower * 2 <= side)
        lower *= 2;
    const std::int64_t n = side;
    std::int64_t nearest = n * n < 2 * lower * lower ? lower : 2 * lower;
    while (nearest > largest && nearest > 1)
        nearest /= 2;
    return static_cast<int>(nearest);
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
    if (image.width <= 0 || image.height <= 0)
        return false;
    // OpenGL 1.1 takes sides that are powers of two, up to the driver's limit:
    // any other picture is scaled to the nearest such sides.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (largest < 1)
        return false;
    const int width = textureSide(image.width, largest);
    const int height = textureSide(image.height, largest);
    const unsigned char* texels = image.pixels;
    std::unique_ptr<unsigned char[]> scaled;
    if (width != image.width || height != image.height) {
        const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                  static_cast<std::size_t>(image.bytesPerPixel);
        scaled.reset(new (std::nothrow) unsigned char[bytes]);
        if (!scaled)
            return false;
        // The filter treats every channel alike, so blue, green, red (, alpha)
        // are scaled as if they were red, green, blue (, alpha): every GLU
        // takes those. Rows are tightly packed on both sides.
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        const GLenum order = image.bytesPerPixel == 4 ? GL_RGBA : GL_RGB;
        const GLint scaling = gluScaleImage(order, image.width, image.height, GL_UNSIGNED_BYTE, image.pixels, width,
                                            height, GL_UNSIGNED_BYTE, scaled.get());
        glPopClientAttrib();
        if (scaling != 0)
            return false;
        texels = scaled.get();
    }

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
    glTexImage2D(GL_TEXTURE_2D, 0, 4, width, height, 0, format, GL_UNSIGNED_BYTE, texels);
    return true;
}
