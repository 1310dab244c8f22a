// loadTextureFile on pictures that ImageMagick wrote from TGA files of the
// same pictures (tests/data/textures/make-textures.py): every format arrives
// as the TGA does, its content decides the format whatever the name, and
// broken or lying files change nothing.

#include "image/TextureFile.h"
#include "image/TgaImage.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string texture(const std::string& name)
{
    return dataPath("textures/" + name);
}

// The largest difference of any byte; -1 when the sizes differ.
int largestDifference(const TgaImage& a, const TgaImage& b)
{
    if (a.width != b.width || a.height != b.height || a.bytesPerPixel != b.bytesPerPixel || a.hasAlpha != b.hasAlpha)
        return -1;
    int largest = 0;
    const std::size_t bytes = static_cast<std::size_t>(a.width) * a.height * a.bytesPerPixel;
    for (std::size_t i = 0; i < bytes; ++i)
        largest = std::max(largest, std::abs(a.pixels[i] - b.pixels[i]));
    return largest;
}

void expectLikeTga(const std::string& path, const std::string& tga, int tolerance)
{
    SCOPED_TRACE(path);
    TgaImage expected;
    ASSERT_TRUE(expected.load(texture(tga).c_str()));
    TgaImage image;
    ASSERT_TRUE(loadTextureFile(path.c_str(), image));
    const int difference = largestDifference(expected, image);
    EXPECT_GE(difference, 0) << "size " << image.width << " x " << image.height << " x " << image.bytesPerPixel;
    EXPECT_LE(difference, tolerance);
}

} // namespace

TEST(TextureFile, EveryFormatArrivesAsTheTgaOfTheSamePicture)
{
    struct Case {
        const char* file;
        const char* tga;
        int tolerance; // JPEG is lossy
    };
    const Case cases[] = {
        {"picture.png", "picture.tga", 0},     {"picture-rgb.png", "picture.tga", 0},
        {"picture.bmp", "picture.tga", 0},     {"picture.jpg", "picture.tga", 12},
        {"alpha.png", "alpha.tga", 0},         {"grey.png", "grey.tga", 0},
        {"quadrants.png", "quadrants.tga", 0}, {"quadrants.bmp", "quadrants.tga", 0},
        {"quadrants.jpg", "quadrants.tga", 3}, {"picture.tga", "picture.tga", 0},
    };
    for (const Case& c : cases)
        expectLikeTga(texture(c.file), c.tga, c.tolerance);
}

TEST(TextureFile, TheContentDecidesTheFormatNotTheName)
{
    const struct {
        const char* file;
        const char* renamed;
        const char* tga;
        int tolerance;
    } cases[] = {
        {"picture.png", "png-named.tga", "picture.tga", 0},
        {"picture.tga", "tga-named.png", "picture.tga", 0},
        {"quadrants.jpg", "jpeg-named.BMP", "quadrants.tga", 3},
        {"quadrants.bmp", "bmp-named.jpg", "quadrants.tga", 0},
    };
    for (const auto& c : cases) {
        const std::string path = scratchPath(c.renamed);
        ASSERT_TRUE(writeFile(path, readFile(texture(c.file))));
        expectLikeTga(path, c.tga, c.tolerance);
    }
}

TEST(TextureFile, BrokenOrLyingFilesLeaveTheImageAsItWas)
{
    const std::string png = readFile(texture("picture-rgb.png"));
    const std::string jpeg = readFile(texture("quadrants.jpg"));
    const std::string bmp = readFile(texture("quadrants.bmp"));
    ASSERT_GT(png.size(), 33u);
    ASSERT_GT(jpeg.size(), 200u);
    // The sizes in a PNG header (big-endian, at 16 and 20) and in a JPEG
    // frame header (height then width, after the marker FF C0, its length
    // and the sample precision).
    const auto withPngSize = [&](unsigned width, unsigned height) {
        std::string bytes = png;
        for (int i = 0; i < 4; ++i) {
            bytes[16 + i] = static_cast<char>(width >> (24 - 8 * i));
            bytes[20 + i] = static_cast<char>(height >> (24 - 8 * i));
        }
        return bytes;
    };
    const auto withJpegSize = [&](unsigned width, unsigned height) {
        std::string bytes = jpeg;
        const std::size_t frame = bytes.find("\xFF\xC0");
        EXPECT_NE(std::string::npos, frame);
        bytes[frame + 5] = static_cast<char>(height >> 8);
        bytes[frame + 6] = static_cast<char>(height);
        bytes[frame + 7] = static_cast<char>(width >> 8);
        bytes[frame + 8] = static_cast<char>(width);
        return bytes;
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"a PNG signature alone", png.substr(0, 8)},
        {"a PNG cut in half", png.substr(0, png.size() / 2)},
        {"a PNG claiming 4096 x 4096 pixels", withPngSize(4096, 4096)},
        {"a PNG wider than any texture", withPngSize(70000, 4)},
        {"a JPEG cut after its headers", jpeg.substr(0, jpeg.find("\xFF\xDA") + 2)},
        {"a JPEG claiming 8192 x 8192 pixels", withJpegSize(8192, 8192)},
        // A frame header and no scan at all: stb_image gives a picture of
        // whatever its buffers held. 17 bytes cannot hold 4096 x 4096
        // pixels, so it is refused before anything is allocated.
        {"a JPEG of 4096 x 4096 pixels in 17 bytes",
         std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\x10\x00\x10\x00\x01\x01\x11\x00\xFF\xD9", 17)},
        {"a BMP cut in half", bmp.substr(0, bmp.size() / 2)},
        {"a BMP header alone", bmp.substr(0, 14)},
    };
    TgaImage image;
    ASSERT_TRUE(loadTextureFile(texture("picture.tga").c_str(), image));
    const unsigned char* pixels = image.pixels;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = scratchPath("broken.png");
        ASSERT_TRUE(writeFile(path, c.bytes));
        EXPECT_FALSE(loadTextureFile(path.c_str(), image));
        EXPECT_EQ(pixels, image.pixels);
        EXPECT_EQ(8, image.width);
        EXPECT_EQ(4, image.height);
        EXPECT_EQ(3, image.bytesPerPixel);
    }
    EXPECT_FALSE(loadTextureFile(scratchPath("missing.png").c_str(), image));
    EXPECT_EQ(pixels, image.pixels);
}
