#pragma once

#include <windows.h>

#include <GL/gl.h>

// The OpenGL rendering context of one window, with the multisample probe and
// a bitmap font. The context is current only between makeCurrent and
// releaseCurrent, or between beginPaint and endPaint. Every operation but
// create and destroy does nothing while there is no context.
class GLContext {
public:
    HGLRC renderingContext = nullptr;
    HWND window = nullptr;
    PAINTSTRUCT paint = {};
    HDC heldDC = nullptr; // a window DC taken by makeCurrent(nullptr)
    bool fontReady = false;
    GLuint fontListBase = 0; // display list of byte 0
    int fontHeight = 0;

    GLContext() = default;
    virtual ~GLContext();

    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    // Sets the window's pixel format (multisampled when samples >= 2 and the
    // driver offers it), creates the context and builds the font; leaves
    // nothing current. Any context held before is deleted first.
    bool create(HWND w, bool swapControl, int samples);
    void destroy();

    // Current on dc, or on a window DC taken here when dc is null.
    void makeCurrent(HDC dc);
    void releaseCurrent();
    // BeginPaint and current on the paint DC; endPaint swaps the buffers.
    void beginPaint();
    void endPaint();

    // 256 display lists from the GDI font of that face; needs the context
    // current. A face that is not installed leaves the font as it was.
    void buildFont(const char* face, int height);
    // The top of the line at window pixel (x, y), y downwards; the matrices
    // and the matrix mode are left as they were.
    void drawText(int x, int y, const char* text);
    // At the point (x, y, z) through the current matrices.
    void drawText3D(double x, double y, double z, const char* text);

    // The pixel format with that many samples (or fewer, down to 2) found
    // from inside a hidden probe window; 0 when there is none.
    static int probeMultisampleFormat(int samples);
    // The same with a context current on dc.
    static int chooseMultisampleFormat(HDC dc, int samples);

    static const PIXELFORMATDESCRIPTOR windowPixelFormat;
    static constexpr const char* probeClassName = "OpenGL dummpy for FSAA";
};
