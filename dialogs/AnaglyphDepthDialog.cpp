#include "dialogs/AnaglyphDepthDialog.h"

#include "window/ChildControls.h"

#include <commctrl.h>

#include <cstdio>

namespace {

const DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

const int kClientWidth = 328;
const int kClientHeight = 80;
const int kSliderX = 64;
const int kSliderY = 10;
const int kSliderWidth = 200;
const int kSliderHeight = 20;
const int kMaximumDepth = 1000;
const int kButtonWidth = 80;
const int kButtonHeight = 24;

} // namespace

AnaglyphDepthDialog::~AnaglyphDepthDialog() = default;

bool AnaglyphDepthDialog::doModal(HWND owner, int* depth)
{
    // A second window on the same object would take over the binding of the
    // first one's slider.
    if (hwnd || !depth)
        return false;
    this->owner = owner;
    this->depth = depth;
    moved = false;
    focusedControl = nullptr;
    // Version 6 of the common controls registers the slider's class only
    // when asked to.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    RECT frame = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&frame, kStyle, FALSE);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const POINT center = getWindowCenter(owner);
    if (!create(WS_EX_TOOLWINDOW, "Anaglyph Depth", kStyle, center.x - width / 2, center.y - height / 2, width, height,
                owner, nullptr))
        return false;
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    return runModal(true) != 0;
}

LRESULT AnaglyphDepthDialog::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        onCreate();
        return 0;
    }
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
        return 0;
    }
    case WM_ACTIVATE: {
        onActivate(LOWORD(wParam), HIWORD(wParam) != 0);
        return 0;
    }
    case WM_COMMAND: {
        onCommand(LOWORD(wParam));
        return 0;
    }
    case WM_CLOSE: {
        endModal(0);
        return 0;
    }
    case WM_HSCROLL: {
        if (trackbar.hwnd && reinterpret_cast<HWND>(lParam) == trackbar.hwnd)
            onSliderScroll(LOWORD(wParam));
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void AnaglyphDepthDialog::onCreate()
{
    trackbar.create(hwnd, kSliderX, kSliderY, kSliderWidth, kSliderHeight, 0, kMaximumDepth);
    // The slider places its buddies beside itself.
    valueLabel = createLabel(hwnd, "", 0, 0, 48, 20, SS_RIGHT);
    SendMessageA(trackbar.hwnd, TBM_SETBUDDY, FALSE, reinterpret_cast<LPARAM>(valueLabel));
    HWND levelLabel = createLabel(hwnd, "Level", 0, 0, 80, 20, SS_RIGHT);
    SendMessageA(trackbar.hwnd, TBM_SETBUDDY, TRUE, reinterpret_cast<LPARAM>(levelLabel));
    // Ticks at the two ends only.
    SendMessageA(trackbar.hwnd, TBM_SETTICFREQ, kMaximumDepth, 0);

    RECT client;
    GetClientRect(hwnd, &client);
    const int buttonY = client.bottom - 32;
    createPushButton(hwnd, "OK", client.right / 2 - 84, buttonY, kButtonWidth, kButtonHeight, IDOK);
    createPushButton(hwnd, "Cancel", client.right / 2 + 4, buttonY, kButtonWidth, kButtonHeight, IDCANCEL);

    SendMessageA(trackbar.hwnd, TBM_SETPOS, TRUE, *depth);
    showValue();
    SetFocus(trackbar.hwnd);
}

void AnaglyphDepthDialog::onActivate(int state, bool minimized)
{
    // The default would give the focus to the dialog itself, where the arrow
    // keys move nothing: the control that had it gets it back.
    if (state == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd, focus))
            focusedControl = focus;
    } else if (!minimized) {
        SetFocus(focusedControl && IsChild(hwnd, focusedControl) ? focusedControl : trackbar.hwnd);
    }
}

void AnaglyphDepthDialog::onCommand(int id)
{
    if (id == IDOK) {
        // The slider's position, also when a move of it never ended in
        // TB_ENDTRACK (a wheel turn, say).
        *depth = position();
        endModal(1);
    } else if (id == IDCANCEL) {
        endModal(0);
    }
}

void AnaglyphDepthDialog::onSliderScroll(int code)
{
    showValue();
    if (code != TB_ENDTRACK) {
        moved = true;
        return;
    }
    // A mouse drag ends twice: on the button release and again when the
    // slider gives up the capture. The owner redraws once per movement.
    if (!moved)
        return;
    moved = false;
    *depth = position();
    if (owner)
        SendMessageA(owner, WM_DEPTH_CHANGED, 0, 0);
}

int AnaglyphDepthDialog::position() const
{
    return static_cast<int>(SendMessageA(trackbar.hwnd, TBM_GETPOS, 0, 0));
}

void AnaglyphDepthDialog::showValue()
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", position() * 0.1);
    SetWindowTextA(valueLabel, text);
}
