#include "GLTestWindow.h"

#include <cstdio>

namespace {

const char kClassName[] = "Corvasi GL Test Window";

bool registerClassOnce()
{
    WNDCLASSA wc = {};
    // A context needs a device context that stays the window's own.
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

GLTestWindow::GLTestWindow(int width, int height)
{
    if (!registerClassOnce()) {
        fail("RegisterClassA");
        return;
    }

    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    hwnd = CreateWindowExA(0, kClassName, "GL test", style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) {
        fail("CreateWindowExA");
        return;
    }
    hdc = GetDC(hwnd);
    if (!hdc) {
        fail("GetDC");
        return;
    }

    PIXELFORMATDESCRIPTOR pfd = {};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 24;
    pfd.cDepthBits = 24;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(hdc, &pfd);
    if (format == 0) {
        fail("ChoosePixelFormat");
        return;
    }
    if (!SetPixelFormat(hdc, format, &pfd)) {
        fail("SetPixelFormat");
        return;
    }

    HGLRC created = wglCreateContext(hdc);
    if (!created) {
        fail("wglCreateContext");
        return;
    }
    if (!wglMakeCurrent(hdc, created)) {
        fail("wglMakeCurrent");
        wglDeleteContext(created);
        return;
    }
    context = created;
}

GLTestWindow::~GLTestWindow()
{
    if (context) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(context);
    }
    if (hdc)
        ReleaseDC(hwnd, hdc);
    if (hwnd)
        DestroyWindow(hwnd);
}

void GLTestWindow::fail(const char* step)
{
    char text[128];
    std::snprintf(text, sizeof text, "%s failed, error %lu", step, GetLastError());
    failure = text;
}
