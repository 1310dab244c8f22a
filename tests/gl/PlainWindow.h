#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A shown top-level popup window with no pixel format yet, for GLContext to take
// over. Its class has no CS_OWNDC, like the viewer's, so every GetDC hands
// out a DC of the shared cache and one that is never given back shows: a
// second ReleaseDC of a returned DC fails.
class PlainWindow {
public:
    // Client area of width by height pixels at the top left of the screen.
    PlainWindow(int width, int height);
    ~PlainWindow();

    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;

    HWND hwnd = nullptr;
};

// Records, while it lives, the calls this program makes through its import
// table (the GLContext code's included) that leave no trace on a window:
// the classes given to RegisterClassExA and CreateWindowExA, the names asked
// of wglGetProcAddress, the sample counts given to wglChoosePixelFormatARB
// and the intervals given to wglSwapIntervalEXT. Every call goes on to the
// real function. One recorder at a time.
class WglCallRecorder {
public:
    WglCallRecorder();
    ~WglCallRecorder();

    WglCallRecorder(const WglCallRecorder&) = delete;
    WglCallRecorder& operator=(const WglCallRecorder&) = delete;

    bool hooked() const;
    // How often a call was made: "RegisterClassExA <class>",
    // "CreateWindowExA <class>" or "wglGetProcAddress <name>".
    int count(const std::string& call) const;
    const std::vector<int>& chooseSamples() const;
    const std::vector<int>& swapIntervals() const;
};
