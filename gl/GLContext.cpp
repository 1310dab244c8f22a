#include "gl/GLContext.h"

#include <GL/wglext.h>

#include <cstring>

namespace {

// The record a probe window gets as its creation parameter: the pixel format
// found (0 when none) and the number of samples wanted.
struct ProbeRequest {
    int format;
    int samples;
};

// Set once registration of the probe class has been tried, whatever came of it.
bool probeClassAttempted = false;

// wglGetProcAddress gives a generic pointer; going through void (*)() keeps
// the cast to the real type free of function-type warnings.
template <typename Function>
Function procAddress(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(wglGetProcAddress(name)));
}

// All work happens in WM_CREATE: the probe window gets an ordinary pixel
// format and a temporary context, which is what the ARB entry points need.
LRESULT CALLBACK probeWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_CREATE)
        return DefWindowProcA(hwnd, message, wParam, lParam);

    const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    ProbeRequest* request = static_cast<ProbeRequest*>(create->lpCreateParams);
    const PIXELFORMATDESCRIPTOR* descriptor = &GLContext::windowPixelFormat;

    HDC dc = GetDC(hwnd);
    if (!SetPixelFormat(dc, ChoosePixelFormat(dc, descriptor), descriptor)) {
        ReleaseDC(hwnd, dc);
        return 0;
    }
    HGLRC temporary = wglCreateContext(dc);
    if (!temporary) {
        ReleaseDC(hwnd, dc);
        return 0;
    }
    wglMakeCurrent(dc, temporary);
    request->format = GLContext::chooseMultisampleFormat(dc, request->samples);
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(temporary);
    ReleaseDC(hwnd, dc);
    return 0;
}

} // namespace

// One field, or one run of fields, a line.
// clang-format off
const PIXELFORMATDESCRIPTOR GLContext::windowPixelFormat = {
    40,                                                          // nSize
    1,                                                           // nVersion
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER, // dwFlags
    PFD_TYPE_RGBA,                                               // iPixelType
    24,                                                          // cColorBits
    0, 0, 0, 0, 0, 0,                                            // colour bits and shifts
    8,                                                           // cAlphaBits
    0,                                                           // cAlphaShift
    0, 0, 0, 0, 0,                                               // accumulation bits
    24,                                                          // cDepthBits
    8,                                                           // cStencilBits
    0,                                                           // cAuxBuffers
    PFD_MAIN_PLANE,                                              // iLayerType
    0, 0, 0, 0,                                                  // bReserved and masks
};
// clang-format on

GLContext::~GLContext()
{
    destroy();
}

bool GLContext::create(HWND w, bool swapControl, int samples)
{
    destroy();
    if (!w)
        return false;

    HDC dc = GetDC(w);
    const LONG style = GetWindowLongA(w, GWL_STYLE);
    SetWindowLongA(w, GWL_STYLE, style | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);

    int format = 0;
    if (samples >= 1)
        format = probeMultisampleFormat(samples);
    if (format == 0)
        format = ChoosePixelFormat(dc, &windowPixelFormat);
    if (!SetPixelFormat(dc, format, &windowPixelFormat)) {
        ReleaseDC(w, dc);
        return false;
    }
    renderingContext = wglCreateContext(dc);
    if (!renderingContext) {
        ReleaseDC(w, dc);
        return false;
    }
    ReleaseDC(w, dc);
    window = w;

    makeCurrent(nullptr);
    if (swapControl) {
        const auto swapInterval = procAddress<PFNWGLSWAPINTERVALEXTPROC>("wglSwapIntervalEXT");
        if (swapInterval)
            swapInterval(1);
    }
    buildFont("Times New Roman", 16);
    releaseCurrent();
    return true;
}

void GLContext::destroy()
{
    // Deleting the context also ends it being current and takes the font's
    // display lists with it.
    if (renderingContext)
        wglDeleteContext(renderingContext);
    if (heldDC)
        ReleaseDC(window, heldDC);
    renderingContext = nullptr;
    window = nullptr;
    heldDC = nullptr;
    fontReady = false;
}

void GLContext::makeCurrent(HDC dc)
{
    if (!renderingContext || !window)
        return;
    // The context uses its DC for as long as it is current on it: it moves to
    // the new DC before a DC it held is given back.
    HDC previous = heldDC;
    if (!dc)
        dc = heldDC = GetDC(window);
    else if (dc != heldDC)
        heldDC = nullptr;
    wglMakeCurrent(dc, renderingContext);
    if (previous && previous != heldDC)
        ReleaseDC(window, previous);
}

void GLContext::releaseCurrent()
{
    if (!renderingContext || !window)
        return;
    // No longer current first: until then the context still uses the DC.
    wglMakeCurrent(nullptr, nullptr);
    if (heldDC) {
        ReleaseDC(window, heldDC);
        heldDC = nullptr;
    }
}

void GLContext::beginPaint()
{
    if (!renderingContext || !window)
        return;
    BeginPaint(window, &paint);
    makeCurrent(paint.hdc);
}

void GLContext::endPaint()
{
    if (!renderingContext || !window)
        return;
    SwapBuffers(paint.hdc);
    releaseCurrent();
    EndPaint(window, &paint);
}

int GLContext::probeMultisampleFormat(int samples)
{
    if (!probeClassAttempted) {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = 0;
        windowClass.lpfnWndProc = probeWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        windowClass.lpszClassName = probeClassName;
        RegisterClassExA(&windowClass);
        probeClassAttempted = true;
    }

    ProbeRequest request = {0, samples};
    // Never shown: the whole probe runs inside its WM_CREATE.
    HWND probe =
        CreateWindowExA(0, probeClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr, nullptr, nullptr, &request);
    if (probe)
        DestroyWindow(probe);
    return request.format;
}

int GLContext::chooseMultisampleFormat(HDC dc, int samples)
{
    const char* extensions = nullptr;
    const auto getExtensions = procAddress<PFNWGLGETEXTENSIONSSTRINGARBPROC>("wglGetExtensionsStringARB");
    if (getExtensions)
        extensions = getExtensions(wglGetCurrentDC());
    if (!extensions)
        extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!extensions || !std::strstr(extensions, "WGL_ARB_multisample"))
        return 0;
    const auto choose = procAddress<PFNWGLCHOOSEPIXELFORMATARBPROC>("wglChoosePixelFormatARB");
    if (!choose)
        return 0;

    int attributes[] = {
        WGL_SAMPLES_ARB,
        samples,
        WGL_DRAW_TO_WINDOW_ARB,
        1,
        WGL_SUPPORT_OPENGL_ARB,
        1,
        WGL_ACCELERATION_ARB,
        WGL_FULL_ACCELERATION_ARB,
        WGL_COLOR_BITS_ARB,
        24,
        WGL_ALPHA_BITS_ARB,
        8,
        WGL_DEPTH_BITS_ARB,
        16,
        WGL_ACCUM_BITS_ARB,
        0,
        WGL_STENCIL_BITS_ARB,
        8,
        WGL_DOUBLE_BUFFER_ARB,
        1,
        WGL_SAMPLE_BUFFERS_ARB,
        1,
        0,
        0,
    };
    const float floatAttributes[] = {0.0f, 0.0f};

    // Fewer samples on each refusal, down to 2.
    for (int n = samples; n > 1; --n) {
        attributes[1] = n;
        int format = 0;
        UINT count = 0;
        if (choose(dc, attributes, floatAttributes, 1, &format, &count) && count > 0)
            return format;
    }
    return 0;
}
