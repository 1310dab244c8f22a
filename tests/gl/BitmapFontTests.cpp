// The bitmap font of GLContext: its display lists, where drawText puts the
// text (raster position and lit pixels read back) and what it leaves alone.

#include "gl/GLContext.h"

#include "PlainWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const int kWidth = 160;
const int kHeight = 96;

int CALLBACK noteFace(const LOGFONTA* font, const TEXTMETRICA* /*metrics*/, DWORD /*type*/, LPARAM data)
{
    *reinterpret_cast<std::string*>(data) = font->lfFaceName;
    return 0;
}

// The first face EnumFontsA shows for name (every face for null); empty
// when there is none.
std::string installedFace(const char* name)
{
    std::string face;
    HDC dc = GetDC(nullptr);
    EnumFontsA(dc, name, noteFace, reinterpret_cast<LPARAM>(&face));
    ReleaseDC(nullptr, dc);
    return face;
}

bool allListsExist(GLuint base)
{
    for (GLuint b = 0; b < 256; ++b) {
        if (!glIsList(base + b))
            return false;
    }
    return true;
}

struct Box {
    int count = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1; // rows counted from the top
};

// Where the back buffer is not black, in window coordinates from the top.
Box litPixels(int width, int height)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    Box box;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            if (p[0] + p[1] + p[2] == 0)
                continue;
            const int row = height - 1 - y;
            ++box.count;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, row);
            box.bottom = std::max(box.bottom, row);
        }
    }
    return box;
}

void clearBlack()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

std::vector<GLfloat> matrix(GLenum which)
{
    std::vector<GLfloat> m(16);
    glGetFloatv(which, m.data());
    return m;
}

} // namespace

class BitmapFont : public ::testing::Test {
protected:
    void SetUp() override
    {
        face = installedFace(nullptr);
        ASSERT_FALSE(face.empty()) << "no font installed";
        ASSERT_NE(w.hwnd, nullptr);
        ASSERT_TRUE(context.create(w.hwnd, false, 0));
        context.makeCurrent(nullptr);
        ASSERT_NE(wglGetCurrentContext(), nullptr);
        glViewport(0, 0, kWidth, kHeight);
    }

    void TearDown() override { context.releaseCurrent(); }

    std::string face;
    PlainWindow w{kWidth, kHeight};
    GLContext context;
};

TEST_F(BitmapFont, CreateBuildsTimesNewRomanWhereItIsInstalled)
{
    // Wine's own fonts do not include it; a Windows system does.
    const bool installed = !installedFace("Times New Roman").empty();
    RecordProperty("times_new_roman", installed ? "installed" : "missing");
    EXPECT_EQ(installed, context.fontReady);
    if (installed) {
        EXPECT_EQ(16, context.fontHeight);
        EXPECT_TRUE(allListsExist(context.fontListBase));
        return;
    }

    // Without a font, text draws nothing and moves nothing.
    clearBlack();
    glRasterPos2f(0.25f, 0.5f);
    glListBase(7);
    context.drawText(0, 0, "text");
    context.drawText3D(0.0, 0.0, 0.0, "text");
    glFinish();
    GLfloat position[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    EXPECT_FLOAT_EQ(kWidth * 0.625f, position[0]);
    EXPECT_FLOAT_EQ(kHeight * 0.75f, position[1]);
    GLint base = 0;
    glGetIntegerv(GL_LIST_BASE, &base);
    EXPECT_EQ(7, base);
    EXPECT_EQ(0, litPixels(kWidth, kHeight).count);
}

TEST_F(BitmapFont, BuildMakes256ListsAndDropsThePreviousOnes)
{
    context.buildFont(face.c_str(), 20);
    ASSERT_TRUE(context.fontReady);
    EXPECT_EQ(20, context.fontHeight);
    const GLuint first = context.fontListBase;
    EXPECT_TRUE(allListsExist(first));

    context.buildFont(face.c_str(), 24);
    ASSERT_TRUE(context.fontReady);
    EXPECT_EQ(24, context.fontHeight);
    EXPECT_NE(first, context.fontListBase);
    EXPECT_TRUE(allListsExist(context.fontListBase));
    EXPECT_FALSE(glIsList(first)) << "lists of the previous font leaked";
    EXPECT_FALSE(glIsList(first + 255));
}

TEST_F(BitmapFont, MissingFaceLeavesTheFontAsItWas)
{
    context.buildFont(face.c_str(), 20);
    ASSERT_TRUE(context.fontReady);
    const GLuint base = context.fontListBase;

    context.buildFont("Corvasi No Such Face", 30);
    EXPECT_TRUE(context.fontReady);
    EXPECT_EQ(base, context.fontListBase);
    EXPECT_EQ(20, context.fontHeight);
    EXPECT_TRUE(allListsExist(base));

    // A name too long for a LOGFONT field is no face either.
    context.buildFont(std::string(300, 'x').c_str(), 30);
    EXPECT_TRUE(context.fontReady);
    EXPECT_EQ(base, context.fontListBase);

    GLContext fresh;
    PlainWindow other(kWidth, kHeight);
    ASSERT_TRUE(fresh.create(other.hwnd, false, 0));
    fresh.makeCurrent(nullptr);
    fresh.buildFont("Corvasi No Such Face", 30);
    EXPECT_FALSE(fresh.fontReady);
    fresh.releaseCurrent();
}

TEST_F(BitmapFont, DrawTextLeavesMatricesAndModeAsTheyWere)
{
    context.buildFont(face.c_str(), 16);
    ASSERT_TRUE(context.fontReady);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3.0, 5.0, -2.0, 7.0, -1.0, 9.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glRotatef(30.0f, 0.0f, 0.0f, 1.0f);
    glMatrixMode(GL_TEXTURE);
    const std::vector<GLfloat> projection = matrix(GL_PROJECTION_MATRIX);
    const std::vector<GLfloat> modelview = matrix(GL_MODELVIEW_MATRIX);
    // NOTE: Wine's wglUseFontBitmapsA leaves GL_OUT_OF_MEMORY behind although
    // every list is made; start from a clean error flag.
    while (glGetError() != GL_NO_ERROR) {}

    context.drawText(5, 5, "Matrices");

    EXPECT_EQ(projection, matrix(GL_PROJECTION_MATRIX));
    EXPECT_EQ(modelview, matrix(GL_MODELVIEW_MATRIX));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(GL_TEXTURE, mode);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(BitmapFont, DrawTextPutsTheBaselineFontHeightBelowY)
{
    context.buildFont(face.c_str(), 16);
    ASSERT_TRUE(context.fontReady);

    // An empty string draws nothing, so the raster position stays where
    // drawText put it: (x, y + fontHeight) from the top left.
    for (POINT at : {POINT{0, 0}, POINT{100, 50}}) {
        SCOPED_TRACE(testing::Message() << "at " << at.x << ", " << at.y);
        clearBlack();
        context.drawText(at.x, at.y, "");
        GLfloat position[4] = {};
        glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
        EXPECT_NEAR(at.x, position[0], 0.01);
        EXPECT_NEAR(kHeight - at.y - 16, position[1], 0.01);
        EXPECT_EQ(0, litPixels(kWidth, kHeight).count);
    }

    clearBlack();
    glColor3f(1.0f, 1.0f, 1.0f);
    const int x = 30, y = 20;
    context.drawText(x, y, "HIHI");
    glFinish();

    // Capitals stand on the baseline at y + 16 and reach up towards y.
    const Box box = litPixels(kWidth, kHeight);
    ASSERT_GT(box.count, 20);
    EXPECT_GE(box.left, x);
    EXPECT_LT(box.left, x + 8);
    EXPECT_LT(box.right, x + 4 * 16);
    EXPECT_GE(box.top, y);
    EXPECT_LT(box.top, y + 8);
    EXPECT_EQ(y + 16 - 1, box.bottom);
}

TEST_F(BitmapFont, DrawText3DUsesTheCurrentMatrices)
{
    context.buildFont(face.c_str(), 16);
    ASSERT_TRUE(context.fontReady);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.5f, 0.0f, 0.0f);
    clearBlack();
    glColor3f(1.0f, 1.0f, 1.0f);

    context.drawText3D(-0.5, 0.0, 0.0, "H");
    glFinish();

    // The translation brings the point to the middle of the window.
    const Box box = litPixels(kWidth, kHeight);
    ASSERT_GT(box.count, 5);
    EXPECT_GE(box.left, kWidth / 2);
    EXPECT_LT(box.left, kWidth / 2 + 8);
    EXPECT_EQ(kHeight / 2 - 1, box.bottom);

    // Outside the view volume the raster position is invalid: nothing shows.
    clearBlack();
    context.drawText3D(0.0, 0.0, 5.0, "H");
    GLint valid = GL_TRUE;
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    EXPECT_EQ(GL_FALSE, valid);
    EXPECT_EQ(0, litPixels(kWidth, kHeight).count);
}
