// The bitmap-font side of GLContext: 256 display lists, one per byte value.

#include "gl/GLContext.h"

#include <cstring>

namespace {

constexpr GLsizei kGlyphCount = 256;

// Keeps the character set of the first font shown and stops there.
int CALLBACK firstCharset(const LOGFONTA* font, const TEXTMETRICA* /*metrics*/, DWORD /*type*/, LPARAM data)
{
    *reinterpret_cast<int*>(data) = font->lfCharSet;
    return 0;
}

// The installed face in its own character set; null when it is not
// installed or cannot be made.
HFONT createFont(HDC dc, const char* face, int height)
{
    int charset = -1;
    EnumFontsA(dc, face, firstCharset, reinterpret_cast<LPARAM>(&charset));
    if (charset < 0)
        return nullptr;

    LOGFONTA description = {};
    description.lfHeight = height;
    description.lfWeight = FW_NORMAL;
    description.lfCharSet = static_cast<BYTE>(charset);
    // Bounded: a face name longer than the field is cut, not overrun.
    lstrcpynA(description.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&description);
}

} // namespace

void GLContext::buildFont(const char* face, int height)
{
    if (!renderingContext || !window || !face)
        return;

    HDC dc = GetDC(window);
    HFONT font = createFont(dc, face, height);
    if (!font) {
        ReleaseDC(window, dc);
        return;
    }
    HGDIOBJ previous = SelectObject(dc, font);

    const GLuint base = glGenLists(kGlyphCount);
    fontHeight = height;
    if (base != 0 && wglUseFontBitmapsA(dc, 0, kGlyphCount, base)) {
        if (fontReady)
            glDeleteLists(fontListBase, kGlyphCount);
        fontReady = true;
        fontListBase = base;
    } else {
        if (base != 0)
            glDeleteLists(base, kGlyphCount);
        fontReady = false;
    }

    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(window, dc);
}

void GLContext::drawText(int x, int y, const char* text)
{
    if (!fontReady || !text)
        return;

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    const float width = static_cast<float>(viewport[2]);
    const float height = static_cast<float>(viewport[3]);

    // The viewport is taken to start at (0, 0), as the viewer's always does.
    const float rx = static_cast<float>(x) / width * 2.0f - 1.0f;
    const float ry = (static_cast<float>(y + fontHeight) / height * 2.0f - 1.0f) * -1.0f;

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();

    glRasterPos2f(rx, ry);
    glListBase(fontListBase);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);

    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(mode));
}

void GLContext::drawText3D(double x, double y, double z, const char* text)
{
    if (!fontReady || !text)
        return;
    glRasterPos3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    glListBase(fontListBase);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
}
