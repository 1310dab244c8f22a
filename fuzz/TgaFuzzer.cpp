// fuzz_tga: TgaImage::load and save.
//
// Input: a whole TGA file, loaded from tmpfs into an image that already
// holds a 1 x 1 picture. The result is compared with a plain decoder written
// here: the same success or failure and, on success, the same pixels. A
// failed load must leave the old picture in place; a successful one must
// survive save and a second load unchanged.

#include "fuzz/FuzzSupport.h"
#include "image/TgaImage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace {

struct Picture {
    bool loaded = false;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    std::vector<unsigned char> pixels;
};

Picture decode(const unsigned char* file, std::size_t size)
{
    Picture picture;
    if (size < 18)
        return picture;
    const unsigned width = file[12] | (file[13] << 8);
    const unsigned height = file[14] | (file[15] << 8);
    const unsigned depth = file[16];
    if (file[1] != 0 || (file[2] != 2 && file[2] != 10) || (depth != 24 && depth != 32))
        return picture;
    std::size_t at = 18 + file[0];
    if (at > size || width == 0 || height == 0)
        return picture;
    const std::size_t bytesPerPixel = depth / 8;
    const std::size_t count = static_cast<std::size_t>(width) * height;

    std::vector<unsigned char> block;
    if (file[2] == 2) {
        if (size - at < count * bytesPerPixel)
            return picture;
        block.assign(file + at, file + at + count * bytesPerPixel);
    } else {
        // A packet of 1 + bytesPerPixel bytes covers at most 128 pixels: give
        // up on a file too short for the picture before allocating it.
        if ((size - at) / (1 + bytesPerPixel) * 128 < count)
            return picture;
        block.resize(count * bytesPerPixel);
        std::size_t n = 0;
        while (n < count) {
            if (at >= size)
                return picture;
            const unsigned header = file[at++];
            const std::size_t run = (header & 0x7F) + 1;
            if (run > count - n)
                return picture;
            const std::size_t bytes = (header & 0x80) ? bytesPerPixel : run * bytesPerPixel;
            if (size - at < bytes)
                return picture;
            for (std::size_t i = 0; i < run; ++i) {
                const unsigned char* from = file + at + ((header & 0x80) ? 0 : i * bytesPerPixel);
                std::memcpy(&block[(n + i) * bytesPerPixel], from, bytesPerPixel);
            }
            at += bytes;
            n += run;
        }
    }

    const bool mirror = (file[17] & 0x10) != 0;
    const bool reverse = (file[17] & 0x20) != 0;
    picture.pixels.resize(block.size());
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t fromX = mirror ? width - 1 - x : x;
            const std::size_t fromY = reverse ? height - 1 - y : y;
            std::memcpy(&picture.pixels[(y * width + x) * bytesPerPixel],
                        &block[(fromY * width + fromX) * bytesPerPixel], bytesPerPixel);
        }
    }
    picture.loaded = true;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.bytesPerPixel = static_cast<int>(bytesPerPixel);
    return picture;
}

bool samePixels(const TgaImage& image, const unsigned char* pixels, std::size_t size)
{
    return image.pixels != nullptr && std::memcmp(image.pixels, pixels, size) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = scratchFile("input.tga");
    writeBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));

    TgaImage image;
    require(image.load(baselineTgaPath().c_str()), "the baseline picture loads");
    const unsigned char* const baselinePixels = image.pixels;

    const Picture expected = decode(data, size);
    const bool loaded = image.load(path.c_str());
    require(loaded == expected.loaded, "load succeeds exactly for well-formed files");
    if (!loaded) {
        require(image.pixels == baselinePixels && image.width == 1 && image.height == 1 && image.bytesPerPixel == 3 &&
                    !image.hasAlpha && samePixels(image, reinterpret_cast<const unsigned char*>("\x01\x02\x03"), 3),
                "a failed load keeps the old picture");
        return 0;
    }
    require(image.width == expected.width && image.height == expected.height &&
                image.bytesPerPixel == expected.bytesPerPixel && image.hasAlpha == (expected.bytesPerPixel == 4),
            "the loaded fields match the header");
    const std::size_t bytes = static_cast<std::size_t>(image.width) * image.height * image.bytesPerPixel;
    require(bytes == expected.pixels.size() && samePixels(image, expected.pixels.data(), bytes),
            "the loaded pixels match the file's");

    const std::string saved = scratchFile("saved.tga");
    require(image.save(saved.c_str()), "a loaded picture can be saved");
    struct stat info;
    require(stat(saved.c_str(), &info) == 0 && static_cast<std::size_t>(info.st_size) == 18 + bytes,
            "a saved file is its header and its pixels");
    TgaImage again;
    require(again.load(saved.c_str()), "a saved picture loads");
    require(again.width == image.width && again.height == image.height && again.bytesPerPixel == image.bytesPerPixel &&
                again.hasAlpha == image.hasAlpha && samePixels(again, image.pixels, bytes),
            "save and load round-trip the picture");
    return 0;
}
