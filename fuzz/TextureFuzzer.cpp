// fuzz_texture: loadTextureFile, the texture reader of every format.
//
// Input: a whole picture file (PNG, JPEG, BMP or TGA, told apart by their
// content), loaded from tmpfs into an image that already holds a 1 x 1
// picture. A failed load must leave the old picture in place. A picture that
// loads must be the one that its own decoder gives, turned into the TGA
// layout here: for PNG and JPEG stb_image's rows (top-down, red first, grey
// spread over three channels) read bottom-up in blue-first order; for BMP
// readBmpFile's 24-bit rows without their padding; for TGA TgaImage::load.

#include "fuzz/FuzzSupport.h"
#include "image/BmpFile.h"
#include "image/DibSource.h"
#include "image/StbImage.h"
#include "image/TextureFile.h"
#include "image/TgaImage.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    std::vector<unsigned char> pixels;
};

// The picture as stb_image decodes it, bottom-up, blue first.
bool stbPicture(const std::uint8_t* data, std::size_t size, Picture& picture)
{
    int width = 0, height = 0, channels = 0;
    unsigned char* decoded = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &channels, 0);
    if (!decoded)
        return false;
    picture.width = width;
    picture.height = height;
    picture.bytesPerPixel = channels % 2 == 0 ? 4 : 3;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = decoded + (static_cast<std::size_t>(y) * width + x) * channels;
            const unsigned char red = p[0];
            const unsigned char green = channels >= 3 ? p[1] : p[0];
            const unsigned char blue = channels >= 3 ? p[2] : p[0];
            picture.pixels.insert(picture.pixels.end(), {blue, green, red});
            if (picture.bytesPerPixel == 4)
                picture.pixels.push_back(p[channels - 1]);
        }
    }
    stbi_image_free(decoded);
    return true;
}

bool bmpPicture(const std::string& path, Picture& picture)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    require(file != nullptr, "the input file opens");
    DibSource source;
    const bool read = readBmpFile(file, source);
    std::fclose(file);
    if (!read)
        return false;
    const int stride = dibStride(source.width);
    std::vector<unsigned char> bits(static_cast<std::size_t>(stride) * source.height);
    source.expandInto(bits.data(), stride);
    picture.width = source.width;
    picture.height = source.height;
    for (int y = 0; y < source.height; ++y) {
        const unsigned char* row = bits.data() + static_cast<std::size_t>(y) * stride;
        picture.pixels.insert(picture.pixels.end(), row, row + static_cast<std::size_t>(source.width) * 3);
    }
    return true;
}

bool tgaPicture(const std::string& path, Picture& picture)
{
    TgaImage image;
    if (!image.load(path.c_str()))
        return false;
    picture.width = image.width;
    picture.height = image.height;
    picture.bytesPerPixel = image.bytesPerPixel;
    picture.pixels.assign(image.pixels,
                          image.pixels + static_cast<std::size_t>(image.width) * image.height * image.bytesPerPixel);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = scratchFile("input.picture");
    writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));

    TgaImage image;
    require(loadTextureFile(baselineTgaPath().c_str(), image), "the baseline picture loads");
    const unsigned char* const baselinePixels = image.pixels;

    const bool loaded = loadTextureFile(path.c_str(), image);
    if (!loaded) {
        require(image.pixels == baselinePixels && image.width == 1 && image.height == 1 && image.bytesPerPixel == 3 &&
                    !image.hasAlpha && std::memcmp(image.pixels, "\x01\x02\x03", 3) == 0,
                "a failed load keeps the old picture");
        return 0;
    }
    require(image.pixels != nullptr && image.width > 0 && image.height > 0 &&
                (image.bytesPerPixel == 3 || image.bytesPerPixel == 4) && image.hasAlpha == (image.bytesPerPixel == 4),
            "a loaded picture has pixels and a size");

    Picture expected;
    bool decoded;
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1A\n", 8) == 0)
        decoded = stbPicture(data, size, expected);
    else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        decoded = stbPicture(data, size, expected);
    else if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        decoded = bmpPicture(path, expected);
    else
        decoded = tgaPicture(path, expected);
    require(decoded, "a picture that loads is one its own decoder reads");
    require(image.width == expected.width && image.height == expected.height &&
                image.bytesPerPixel == expected.bytesPerPixel,
            "the size and the channels are the decoder's");
    const std::size_t bytes = static_cast<std::size_t>(image.width) * image.height * image.bytesPerPixel;
    require(bytes == expected.pixels.size() && std::memcmp(image.pixels, expected.pixels.data(), bytes) == 0,
            "the pixels are the decoder's, bottom-up and blue first");
    return 0;
}
