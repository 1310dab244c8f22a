#pragma once

#include <windows.h>

#include <string>

// A hidden top-level window with a double-buffered OpenGL rendering context,
// current on the calling thread for the helper's lifetime. For tests that
// need real OpenGL state (matrices, viewport, pixels) without the viewer.
//
//   GLTestWindow gl(64, 64);
//   ASSERT_TRUE(gl.ok()) << gl.error();
//
// A test must fail, not skip, when ok() is false: the test run always
// provides a display with OpenGL.
class GLTestWindow {
public:
    // Client area of width by height pixels.
    GLTestWindow(int width, int height);
    ~GLTestWindow();

    GLTestWindow(const GLTestWindow&) = delete;
    GLTestWindow& operator=(const GLTestWindow&) = delete;

    // True when the context exists and is current.
    bool ok() const { return context != nullptr; }
    // Which step failed, with its GetLastError code; empty when ok().
    const std::string& error() const { return failure; }

    HWND window() const { return hwnd; }
    HDC deviceContext() const { return hdc; }

private:
    void fail(const char* step);

    HWND hwnd = nullptr;
    HDC hdc = nullptr;
    HGLRC context = nullptr;
    std::string failure;
};
