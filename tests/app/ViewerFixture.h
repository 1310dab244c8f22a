#pragma once

// A real viewer window in the test process, and what it shows, read back
// from its rendering context.

#include "app/ViewerWindow.h"
#include "mesh/Mesh.h"
#include "tests/support/TestFiles.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct Rgb {
    int r, g, b;
};

// The picture on show: rows from the top, three bytes a pixel.
class Frame {
public:
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const
    {
        // Read back bottom-up; y counts from the top here.
        const std::size_t i = (static_cast<std::size_t>(height - 1 - y) * width + x) * 3;
        return Rgb{rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

// What the window shows, read from the screen through GDI.
// NOTE: Wine with llvmpipe: glReadPixels from GL_FRONT returns what was drawn
// into the front buffer, not what the last swap put on screen.
// Names among 1 to upTo alive in the viewer's context, as isAlive
// (glIsTexture, glIsList) says.
inline int liveNames(ViewerWindow& viewer, GLboolean(APIENTRY* isAlive)(GLuint), GLuint upTo)
{
    viewer.context.makeCurrent(nullptr);
    int live = 0;
    for (GLuint name = 1; name <= upTo; ++name)
        live += isAlive(name) == GL_TRUE;
    viewer.context.releaseCurrent();
    return live;
}

inline Frame readFrame(ViewerWindow& viewer)
{
    Frame frame;
    RECT client;
    GetClientRect(viewer.hwnd, &client);
    frame.width = client.right;
    frame.height = client.bottom;
    if (frame.width <= 0 || frame.height <= 0)
        return frame;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = frame.height; // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC windowDC = GetDC(viewer.hwnd);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    BitBlt(memoryDC, 0, 0, frame.width, frame.height, windowDC, 0, 0, SRCCOPY);
    GdiFlush();
    frame.rgb.resize(static_cast<std::size_t>(frame.width) * frame.height * 3);
    const unsigned char* bgra = static_cast<const unsigned char*>(bits);
    for (std::size_t i = 0; i < static_cast<std::size_t>(frame.width) * frame.height; ++i) {
        frame.rgb[i * 3] = bgra[i * 4 + 2];
        frame.rgb[i * 3 + 1] = bgra[i * 4 + 1];
        frame.rgb[i * 3 + 2] = bgra[i * 4];
    }
    SelectObject(memoryDC, previous);
    DeleteObject(bitmap);
    DeleteDC(memoryDC);
    ReleaseDC(viewer.hwnd, windowDC);
    return frame;
}

inline bool within(int a, int b, int tolerance = 2)
{
    return a - b <= tolerance && b - a <= tolerance;
}

inline bool isBackground(const Rgb& c)
{
    // Clear colour 0.3 grey.
    return within(c.r, 77) && within(c.g, 77) && within(c.b, 77);
}

// Clicks OK on every "Corvasi" message box that comes up while it lives and
// remembers the last text shown. A box that OK does not close is closed
// otherwise, ending the modal loop that shows it, and the test fails.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() : testThread(GetCurrentThreadId()), thread([this] { run(); }) {}
    ~MessageBoxWatcher()
    {
        stop = true;
        thread.join();
        if (stuck)
            ADD_FAILURE() << "a message box stayed open after OK";
    }

    int count() const { return shown; }
    std::string lastText()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }

private:
    void run()
    {
        for (;;) {
            HWND box = nullptr;
            while (!waitFor([&] { return stop || (box = findShownWindow("#32770", "Corvasi")) != nullptr; })) {}
            if (!box)
                return;
            // The message is the box's text control; wait until it is filled.
            char buffer[1200] = "";
            waitFor([&] { return GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer) > 0 || !IsWindow(box); });
            {
                std::lock_guard<std::mutex> lock(mutex);
                text = buffer;
            }
            ++shown;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            if (!waitFor([&] { return !IsWindow(box); })) {
                stuck = true;
                PostMessageA(box, WM_CLOSE, 0, 0);
                PostThreadMessageA(testThread, WM_QUIT, 0, 0);
                waitFor([&] { return !IsWindow(box); });
            }
        }
    }

    DWORD testThread;
    std::atomic<bool> stop{false};
    std::atomic<bool> stuck{false};
    std::atomic<int> shown{0};
    std::mutex mutex;
    std::string text;
    std::thread thread;
};

// A user of the Anaglyph Depth dialog: moves the slider to its far end with
// the keyboard, calls atFarEnd while the dialog is open, and cancels.
class DepthDialogUser : public ModalDriver {
public:
    explicit DepthDialogUser(const std::function<void()>& atFarEnd)
            : ModalDriver(
                  "depth dialog", [] { return findShownWindow(nullptr, "Anaglyph Depth"); },
                  [atFarEnd](HWND dialog) {
                      HWND slider = FindWindowExA(dialog, nullptr, "msctls_trackbar32", nullptr);
                      SendMessageA(slider, WM_KEYDOWN, VK_END, 1);
                      SendMessageA(slider, WM_KEYUP, VK_END, 0xC0000001);
                      atFarEnd();
                      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                  })
    {
    }
};

// A viewer window with a client area of the given size, showing nothing or
// the given mesh.
class ViewerTest : public ::testing::Test {
protected:
    void createViewer(const std::string& meshPath = std::string(), int width = 512, int height = 512)
    {
        viewer.startMesh = meshPath.empty() ? ViewerWindow::StartMesh::Nothing : ViewerWindow::StartMesh::FromPath;
        viewer.startMeshPath = meshPath;
        viewer.createMainWindow(width, height);
        ASSERT_TRUE(viewer.hwnd);
        ASSERT_TRUE(viewer.context.renderingContext) << "no rendering context";
    }

    void TearDown() override
    {
        if (viewer.hwnd)
            DestroyWindow(viewer.hwnd);
        // Take the quit message the window posted, so it does not end the
        // next test's loop.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }

    // Lets the window handle what a menu or dialog left behind: the commands
    // posted to it, and the repaint of what was covered (the system marks
    // that part of the window as it takes the menu or dialog away). Done
    // when no message waits and nothing is left to paint.
    void settle()
    {
        const DWORD start = GetTickCount();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (GetTickCount() - start > kWaitMs) {
                ADD_FAILURE() << "the window's messages never ran out";
                return;
            }
            if (msg.message == WM_QUIT) {
                sawQuit = true;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    // Resizes the window to a client area of width x height.
    void resizeClient(int width, int height)
    {
        RECT rect = {0, 0, width, height};
        AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(viewer.hwnd, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    }

    Frame show()
    {
        viewer.redraw();
        return readFrame(viewer);
    }

    ViewerWindow viewer;
    bool sawQuit = false;
};

// Gives the mesh on show colour(i) as the colour of position i, as a file of
// `v x y z r g b` lines does, and drops display lists recorded without them.
inline void colourVertices(ViewerWindow& viewer, const std::function<VertexColor(std::size_t)>& colour)
{
    for (std::size_t i = 0; i < viewer.mesh->positions.size(); ++i)
        viewer.mesh->colors.push_back(colour(i));
    viewer.context.makeCurrent(nullptr);
    viewer.meshLists.release();
    viewer.context.releaseCurrent();
}

// Writes an OBJ (and its MTL when given) to the scratch folder.
inline std::string writeMesh(const std::string& name, const std::string& obj, const std::string& mtl = std::string())
{
    const std::string path = scratchPath(name + ".obj");
    writeFile(path, obj);
    if (!mtl.empty())
        writeFile(scratchPath(name + ".mtl"), mtl);
    return path;
}

// A square with a pure red texture, in a folder made with the system's
// UTF-16 functions and named in CJK and accented letters, as are the files.
// Returns the OBJ's path in UTF-8, the program's code page; empty when the
// files cannot be written.
inline std::string writeUnicodeMesh()
{
    const std::string folder = scratchPath("模型 Ünïcødé");
    std::wstring wide(folder.size() + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, folder.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    CreateDirectoryW(wide.c_str(), nullptr);
    const std::string obj = folder + "\\面ü.obj";
    const std::string red = tgaFile(1, 1, 3, [](int, int, int c) { return c == 2 ? 255 : 0; });
    const bool written =
        writeFile(folder + "\\紋理é.tga", red) &&
        writeFile(folder + "\\面ü.mtl", "newmtl red\nKd 1 1 1\nmap_Kd 紋理é.tga\n") &&
        writeFile(obj, "v -50 -50 0\nv 50 -50 0\nv 50 50 0\nv -50 50 0\nvt 0 0\nusemtl red\nf 1/1 2/1 3/1 4/1\n");
    return written ? obj : std::string();
}

inline bool isRed(const Rgb& c)
{
    return c.r > 150 && c.g < 60 && c.b < 60;
}
