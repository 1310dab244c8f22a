// loadTextureFile on pictures that ImageMagick wrote from TGA files of the
// same pictures (tests/data/textures/make-textures.py): every format arrives
// as the TGA does, its content decides the format whatever the name, and
// broken or lying files change nothing.

#include "image/TextureFile.h"
#include "image/TgaImage.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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

TEST(TextureFile, EveryFormatArrivesAsTheTgaOfTheSamePictureWhateverItsName)
{
    struct Case {
        const char* file;
        const char* tga;
        int tolerance;       // JPEG is lossy
        const char* renamed; // copied under this name first: the content decides
    };
    const Case cases[] = {
        {"picture.png", "picture.tga", 0, nullptr},
        {"picture-rgb.png", "picture.tga", 0, nullptr},
        {"picture.bmp", "picture.tga", 0, nullptr},
        {"picture.jpg", "picture.tga", 12, nullptr},
        {"alpha.png", "alpha.tga", 0, nullptr},
        {"grey.png", "grey.tga", 0, nullptr},
        {"quadrants.png", "quadrants.tga", 0, nullptr},
        {"quadrants.bmp", "quadrants.tga", 0, "bmp-named.jpg"},
        {"quadrants.jpg", "quadrants.tga", 3, "jpeg-named.BMP"},
        {"picture.png", "picture.tga", 0, "png-named.tga"},
        {"picture.tga", "picture.tga", 0, "tga-named.png"},
    };
    for (const Case& c : cases) {
        std::string path = texture(c.file);
        if (c.renamed) {
            path = scratchPath(c.renamed);
            ASSERT_TRUE(writeFile(path, readFile(texture(c.file))));
        }
        expectLikeTga(path, c.tga, c.tolerance);
    }
}

TEST(TextureFile, BrokenOrLyingFilesLeaveTheImageAsItWas)
{
    const std::string png = readFile(texture("picture-rgb.png"));
    const std::string jpeg = readFile(texture("quadrants.jpg"));
    const std::string bmp = readFile(texture("quadrants.bmp"));
    ASSERT_GT(jpeg.size(), 200u);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"a PNG cut in half", png.substr(0, png.size() / 2)},
        {"a JPEG cut after its headers", jpeg.substr(0, jpeg.find("\xFF\xDA") + 2)},
        // A frame header and no scan at all: stb_image gives a picture of
        // whatever its buffers held. 17 bytes cannot hold 4096 x 4096
        // pixels, so it is refused before anything is allocated.
        {"a JPEG of 4096 x 4096 pixels in 17 bytes",
         std::string("\xFF\xD8\xFF\xC0\x00\x0B\x08\x10\x00\x10\x00\x01\x01\x11\x00\xFF\xD9", 17)},
        {"a BMP cut in half", bmp.substr(0, bmp.size() / 2)},
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
}

TEST(TextureFile, IndicesPastAPngsPaletteAreBlack)
{
    // The decoder's palette has room for 256 entries; this file sets one.
    // Unset entries used to come from whatever the stack held.
    TgaImage image;
    ASSERT_TRUE(loadTextureFile(texture("past-palette.png").c_str(), image));
    ASSERT_EQ(4, image.width);
    ASSERT_EQ(3, image.bytesPerPixel);
    const unsigned char expected[] = {50, 100, 200, 0, 0, 0, 0, 0, 0, 50, 100, 200};
    EXPECT_EQ(0, std::memcmp(expected, image.pixels, sizeof expected));
}
