#include "window/NWindow.h"

namespace {

// One running runModal. An autoDelete object is deleted together with its
// window, inside the loop that watches it; the loop then reads its state
// from here instead of from the object.
struct ModalFrame {
    NWindow* window;
    int result;
    ModalFrame* outer;
};

ModalFrame* innermostLoop = nullptr;

HWND ownerOf(HWND window)
{
    HWND owner = GetWindow(window, GW_OWNER);
    return owner ? owner : GetParent(window);
}

HWND boundWindow(const ModalFrame& frame)
{
    return frame.window ? frame.window->hwnd : nullptr;
}

} // namespace

void NWindow::forgetModalLoops(NWindow* deleted)
{
    for (ModalFrame* frame = innermostLoop; frame; frame = frame->outer) {
        if (frame->window == deleted) {
            frame->window = nullptr;
            frame->result = deleted->modalResult;
        }
    }
}

int NWindow::runModal(bool dialogKeys)
{
    if (!hwnd)
        return 0;
    inModalLoop = true;
    modalResult = 0;
    ModalFrame frame = {this, 0, innermostLoop};
    innermostLoop = &frame;

    if (HWND owner = ownerOf(hwnd))
        EnableWindow(owner, FALSE);

    MSG msg;
    // A loop that ends before taking any message must not pass on a quit.
    msg.message = 0;
    while (boundWindow(frame)) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            HWND window = boundWindow(frame);
            if (dialogKeys && window && IsDialogMessageA(window, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            if (!boundWindow(frame))
                break;
            WaitMessage();
        }
    }

    innermostLoop = frame.outer;
    int result = frame.result;
    if (frame.window) {
        inModalLoop = false;
        result = modalResult;
    }
    // The loop outside, if any, ends too.
    if (msg.message == WM_QUIT)
        PostQuitMessage(static_cast<int>(msg.wParam));
    return result;
}

BOOL NWindow::endModal(int result)
{
    if (!hwnd)
        return 0;
    // Enabled before the window goes, so that the system activates the
    // owner in its place.
    if (HWND owner = ownerOf(hwnd))
        EnableWindow(owner, TRUE);
    modalResult = result;
    return DestroyWindow(hwnd);
}

HWND NWindow::getRootWindow(HWND window)
{
    if (!window)
        return nullptr;
    for (;;) {
        HWND next = GetParent(window);
        if (!next)
            next = GetWindow(window, GW_OWNER);
        if (!next)
            return window;
        window = next;
    }
}

POINT NWindow::getWindowCenter(HWND window)
{
    if (!window)
        window = GetDesktopWindow();
    RECT rect = {};
    GetWindowRect(getRootWindow(window), &rect);
    // Signed halving truncates toward zero, also left of the screen.
    POINT center = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return center;
}
