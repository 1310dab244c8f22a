#include "PlainWindow.h"

#include "gl/GLContext.h"

#include <cstring>

namespace {

const char kClassName[] = "Corvasi GL Context Test";

int probeWindows = 0;

LRESULT CALLBACK countProbeWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char name[64];
        if (GetClassNameA((HWND)wParam, name, sizeof name) > 0 &&
            std::strcmp(name, GLContext::probeClassName) == 0)
            ++probeWindows;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

PlainWindow::PlainWindow(int width, int height)
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);

    // NOTE: Wine without a window manager waits up to two seconds for a
    // captioned window to be mapped and again to be unmapped; a popup window
    // is not managed and shows at once.
    const DWORD style = WS_POPUP;
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    hwnd = CreateWindowExA(0, kClassName, "GLContext test", style, 0, 0, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
    if (hwnd)
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

PlainWindow::~PlainWindow()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

ProbeWindowCounter::ProbeWindowCounter()
{
    probeWindows = 0;
    hook = SetWindowsHookExA(WH_CBT, countProbeWindows, nullptr, GetCurrentThreadId());
}

ProbeWindowCounter::~ProbeWindowCounter()
{
    if (hook)
        UnhookWindowsHookEx(hook);
}

int ProbeWindowCounter::created() const
{
    return probeWindows;
}
