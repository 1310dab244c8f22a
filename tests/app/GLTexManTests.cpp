// GLTexMan in a real rendering context, on TGA files written here: one
// upload per path whatever its letter case, sides scaled to powers of two,
// refused files that are not read again, the texels OpenGL got (read back),
// deletion on clear and the warning of a manager destroyed with entries left.

#include "app/GLTexMan.h"

#include "tests/support/GLTestWindow.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <GL/glext.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The colour of picture pixel (x, y), y = 0 the bottom row, in file order
// (blue, green, red, alpha), all bytes distinct in a small picture.
unsigned char texel(int x, int y, int channel)
{
    static const int base[4] = {10, 90, 170, 220};
    return static_cast<unsigned char>(base[channel] + 7 * x + 3 * y);
}

std::string writeTga(const std::string& name, int width, int height, int bytesPerPixel = 3)
{
    const std::string path = scratchPath(name);
    EXPECT_TRUE(writeFile(path, tgaFile(width, height, bytesPerPixel, texel))) << path;
    return path;
}

// What body writes to standard output, read back in text mode.
std::string captureStdout(const std::function<void()>& body)
{
    const std::string path = scratchPath("stdout.txt");
    std::FILE* sink = std::fopen(path.c_str(), "w");
    if (!sink)
        return "(cannot capture)";
    std::fflush(stdout);
    const int saved = _dup(_fileno(stdout));
    _dup2(_fileno(sink), _fileno(stdout));
    body();
    std::fflush(stdout);
    _dup2(saved, _fileno(stdout));
    _close(saved);
    std::fclose(sink);

    std::string text;
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (in) {
        int c;
        while ((c = std::fgetc(in)) != EOF)
            text += static_cast<char>(c);
        std::fclose(in);
    }
    return text;
}

class GLTexManTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()) << gl.error(); }
    void TearDown() override { textures.clear(); }

    GLTestWindow gl{64, 64};
    GLTexMan textures;
};

} // namespace

TEST_F(GLTexManTest, SamePathInAnyCaseIsReadOnce)
{
    const std::string path = writeTga("Wood.TGA", 4, 4);
    TextureEntry* entry = textures.getTexture(path.c_str());
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->valid);
    EXPECT_TRUE(glIsTexture(entry->glName));
    EXPECT_EQ(path, entry->path);
    const GLuint name = entry->glName;

    // Gone from the disk: only the first request may have read it.
    ASSERT_EQ(0, std::remove(path.c_str()));
    EXPECT_EQ(entry, textures.getTexture(lowerCase(path).c_str()));
    EXPECT_EQ(entry, textures.getTexture(path.c_str()));
    EXPECT_EQ(name, entry->glName);
    EXPECT_EQ(1u, textures.entries.size());

    // Nothing but letter case is ignored: other separators are another path.
    std::string slashes = path;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    ASSERT_NE(path, slashes);
    EXPECT_EQ(nullptr, textures.getTexture(slashes.c_str()));
    EXPECT_EQ(2u, textures.entries.size());
}

TEST_F(GLTexManTest, SidesAreScaledToTheNearestPowersOfTwoThatTheDriverTakes)
{
    struct Case {
        int width, height; // of the file
        int uploadedWidth, uploadedHeight;
    };
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    ASSERT_LE(largest, 32768) << "twice the largest side no longer fits a TGA header";
    // Nearest by ratio: 724 lies below 512 * sqrt(2), 725 above it.
    const Case cases[] = {
        {256, 128, 256, 128},
        {1, 1, 1, 1},
        {2, 64, 2, 64},
        {100, 100, 128, 128},
        {3, 4, 4, 4},
        {4, 3, 4, 4},
        {256, 96, 256, 128},
        {250, 150, 256, 128},
        {724, 1, 512, 1},
        {1, 725, 1, 1024},
        {largest, 1, largest, 1},
        {2 * largest, 1, largest, 1},
        {1, largest * 3 / 2, 1, largest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const std::string path =
            writeTga("size-" + std::to_string(c.width) + "x" + std::to_string(c.height) + ".tga", c.width, c.height);
        TextureEntry* entry = textures.getTexture(path.c_str());
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->valid);
        // The picture is kept as decoded.
        EXPECT_EQ(c.width, entry->image.width);
        EXPECT_EQ(c.height, entry->image.height);
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, entry->glName);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(c.uploadedWidth, width);
        EXPECT_EQ(c.uploadedHeight, height);
    }
    EXPECT_EQ(sizeof cases / sizeof cases[0], textures.entries.size());
}

TEST_F(GLTexManTest, ScaledPicturesKeepTheirCornersAndAlpha)
{
    // 250 x 150 in four quadrants of four colours, alpha included, scaled to
    // 256 x 128: each corner texel is filtered from the corner pixel and
    // about a hundredth of its neighbours (the filter wraps around).
    auto quadrants = [](int x, int y, int c) {
        static const int colours[4][4] = {{200, 30, 10, 255}, {20, 210, 40, 128}, {50, 60, 220, 64}, {250, 240, 5, 0}};
        return colours[(x >= 125) + 2 * (y >= 75)][c];
    };
    for (int bytesPerPixel : {3, 4}) {
        SCOPED_TRACE(testing::Message() << bytesPerPixel << " bytes a pixel");
        const std::string path = scratchPath("quadrants.tga");
        ASSERT_TRUE(writeFile(path, tgaFile(250, 150, bytesPerPixel, quadrants)));
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        TextureEntry* entry = textures.getTexture(path.c_str());
        ASSERT_NE(entry, nullptr);
        GLint packAlignment = 0;
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        EXPECT_EQ(4, packAlignment) << "the read-back alignment must stay as it was";

        std::vector<unsigned char> bgra(256 * 128 * 4);
        glBindTexture(GL_TEXTURE_2D, entry->glName);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE, bgra.data());
        const int corners[4][4] = {{0, 0, 0, 0},
                                   {255, 0, 249, 0},
                                   {0, 127, 0, 149},
                                   {255, 127, 249, 149}}; // s, t, x, y
        for (const auto& corner : corners) {
            const unsigned char* got = &bgra[(static_cast<std::size_t>(corner[1]) * 256 + corner[0]) * 4];
            for (int ch = 0; ch < 4; ++ch) {
                const int want = ch < bytesPerPixel ? quadrants(corner[2], corner[3], ch) : 255;
                EXPECT_NEAR(want, got[ch], 4) << "texel " << corner[0] << ", " << corner[1] << " channel " << ch;
            }
        }
        textures.clear();
    }
}

TEST_F(GLTexManTest, UnusableFileIsNotReadAgainUntilClear)
{
    const std::string path = scratchPath("odd.tga");
    ASSERT_TRUE(writeFile(path, "not a picture"));
    const std::string missing = scratchPath("missing.tga");
    EXPECT_EQ(nullptr, textures.getTexture(path.c_str()));
    EXPECT_EQ(nullptr, textures.getTexture(missing.c_str()));
    ASSERT_EQ(2u, textures.entries.size());
    EXPECT_FALSE(textures.entries[1]->valid);
    EXPECT_EQ(missing, textures.entries[1]->path);

    // Both files become good ones; the entries stand as they were.
    ASSERT_TRUE(writeFile(path, tgaFile(64, 64, 3, texel)));
    ASSERT_TRUE(writeFile(missing, tgaFile(8, 8, 3, texel)));
    EXPECT_EQ(nullptr, textures.getTexture(path.c_str()));
    EXPECT_EQ(nullptr, textures.getTexture(missing.c_str()));
    EXPECT_EQ(2u, textures.entries.size());

    // After a clear they are read afresh.
    textures.clear();
    TextureEntry* entry = textures.getTexture(path.c_str());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(64, entry->image.width);
    EXPECT_NE(nullptr, textures.getTexture(missing.c_str()));
}

TEST_F(GLTexManTest, UploadsTheFilesTexelsBottomRowFirst)
{
    struct Case {
        int width, height, bytesPerPixel;
        bool topDown;
    };
    // Six-byte rows check that rows are taken tightly packed.
    for (Case c : {Case{2, 4, 3, false}, Case{4, 2, 4, true}, Case{2, 2, 3, true}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bytesPerPixel
                                        << (c.topDown ? " top-down" : " bottom-up"));
        const std::string path = scratchPath("texels.tga");
        ASSERT_TRUE(writeFile(path, tgaFile(c.width, c.height, c.bytesPerPixel, texel, c.topDown)));
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        TextureEntry* entry = textures.getTexture(path.c_str());
        ASSERT_NE(entry, nullptr);

        std::vector<unsigned char> bgra(static_cast<std::size_t>(c.width) * c.height * 4);
        glBindTexture(GL_TEXTURE_2D, entry->glName);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE, bgra.data());
        for (int t = 0; t < c.height; ++t) {
            for (int s = 0; s < c.width; ++s) {
                const unsigned char* got = &bgra[(static_cast<std::size_t>(t) * c.width + s) * 4];
                for (int ch = 0; ch < 4; ++ch) {
                    const int want = ch < c.bytesPerPixel ? texel(s, t, ch) : 255;
                    EXPECT_EQ(want, got[ch]) << "texel " << s << ", " << t << " channel " << ch;
                }
            }
        }
        textures.clear();
    }
}

TEST_F(GLTexManTest, FiltersSampleLevelZeroOnly)
{
    struct Case {
        bool mipmaps;
        GLint magnification;
    };
    for (Case c : {Case{true, GL_LINEAR}, Case{false, GL_NEAREST}}) {
        SCOPED_TRACE(c.mipmaps ? "mipmaps" : "no mipmaps");
        TextureEntry entry;
        ASSERT_TRUE(entry.loadFromFile(writeTga("filters.tga", 8, 4).c_str(), c.mipmaps));
        EXPECT_EQ(static_cast<GLenum>(GL_TEXTURE_2D), entry.glTarget);
        glBindTexture(GL_TEXTURE_2D, entry.glName);
        GLint min = 0, mag = 0, wrap = 0, generate = -1;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, &generate);
        EXPECT_EQ(GL_NEAREST, min);
        EXPECT_EQ(c.magnification, mag);
        EXPECT_EQ(GL_REPEAT, wrap);
        EXPECT_EQ(c.mipmaps ? GL_TRUE : GL_FALSE, generate);
    }
}

TEST_F(GLTexManTest, ClearDeletesEveryTexture)
{
    std::vector<GLuint> names;
    for (const char* name : {"a.tga", "b.tga", "c.tga"}) {
        TextureEntry* entry = textures.getTexture(writeTga(name, 4, 4).c_str());
        ASSERT_NE(entry, nullptr);
        names.push_back(entry->glName);
    }
    textures.getTexture(scratchPath("none.tga").c_str());
    ASSERT_EQ(4u, textures.entries.size());

    textures.clear();

    EXPECT_TRUE(textures.entries.empty());
    for (GLuint name : names)
        EXPECT_FALSE(glIsTexture(name)) << "texture " << name << " leaked";
}

TEST_F(GLTexManTest, ReloadingAnEntryDeletesItsTexture)
{
    TextureEntry entry;
    ASSERT_TRUE(entry.loadFromFile(writeTga("first.tga", 4, 4).c_str(), true));
    const GLuint first = entry.glName;
    ASSERT_TRUE(glIsTexture(first));

    EXPECT_FALSE(entry.loadFromFile(scratchPath("gone.tga").c_str(), true));
    EXPECT_FALSE(entry.valid);
    EXPECT_FALSE(glIsTexture(first));
}

TEST_F(GLTexManTest, WarnsWhenDestroyedWithEntriesLeft)
{
    GLuint name = 0;
    const std::string path = writeTga("left.tga", 4, 4);
    const std::string out = captureStdout([&] {
        GLTexMan leftOver;
        TextureEntry* entry = leftOver.getTexture(path.c_str());
        ASSERT_NE(entry, nullptr);
        name = entry->glName;
        leftOver.getTexture(scratchPath("no-such.tga").c_str());
    });
    EXPECT_EQ("warning : GLTexMan not cleaned.\n", out);
    // The destructor cannot know which context is current, so it deletes
    // no texture; they go with their context.
    EXPECT_TRUE(glIsTexture(name));
    glDeleteTextures(1, &name);

    // Even a manager of unusable files only warns.
    EXPECT_EQ("warning : GLTexMan not cleaned.\n", captureStdout([&] {
                  GLTexMan unusable;
                  unusable.getTexture(scratchPath("no-such.tga").c_str());
              }));
}

TEST_F(GLTexManTest, SilentWhenEmptyOrCleared)
{
    const std::string path = writeTga("quiet.tga", 4, 4);
    EXPECT_EQ("", captureStdout([] { GLTexMan empty; }));
    EXPECT_EQ("", captureStdout([&] {
                  GLTexMan cleared;
                  cleared.getTexture(path.c_str());
                  cleared.clear();
              }));
}
