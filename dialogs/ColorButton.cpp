#include "dialogs/ColorButton.h"

#include <commdlg.h>

COLORREF ColorButton::customColors[16] = {};

ColorButton::ColorButton(COLORREF color) : color(color)
{
}

ColorButton::~ColorButton() = default;

bool ColorButton::create(HWND parent, int id, int x, int y, int width, int height)
{
    notifyTarget = parent;
    return NWindow::create(0, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

LRESULT ColorButton::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        hasFocus = false;
        // A button created disabled gets no WM_ENABLE to say so.
        enabled = IsWindowEnabled(hwnd) != FALSE;
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        hasFocus = message == WM_SETFOCUS;
        repaint();
        return 0;
    }
    case WM_ENABLE: {
        enabled = wParam != 0;
        repaint();
        return 0;
    }
    case WM_PAINT: {
        paint();
        return 0;
    }
    case WM_KEYDOWN: {
        if (enabled && hasFocus)
            pickAndNotify();
        return 0;
    }
    case WM_LBUTTONDOWN: {
        // The button does not take the focus when clicked.
        if (enabled)
            pickAndNotify();
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

bool ColorButton::pickColor(HWND owner, COLORREF& color)
{
    CHOOSECOLORA chooser = {};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = owner;
    chooser.hInstance = reinterpret_cast<HWND>(GetModuleHandleA(nullptr));
    chooser.rgbResult = color;
    chooser.lpCustColors = customColors;
    chooser.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorA(&chooser))
        return false;
    color = chooser.rgbResult;
    return true;
}

void ColorButton::notifyParent()
{
    if (!IsWindow(notifyTarget))
        return;
    const int id = GetDlgCtrlID(hwnd);
    SendMessageA(notifyTarget, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hwnd));
}

void ColorButton::repaint()
{
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
}

void ColorButton::pickAndNotify()
{
    HWND self = hwnd;
    COLORREF picked = color;
    if (!pickColor(self, picked))
        return;
    // The chooser runs its own message loop: the button may have been
    // destroyed meanwhile, and an autoDelete object deleted with it.
    if (!IsWindow(self) || fromHandle(self) != this)
        return;
    color = picked;
    notifyParent();
    repaint();
}

void ColorButton::paint()
{
    RECT rect;
    GetClientRect(hwnd, &rect);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (enabled) {
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    } else {
        FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    }
    DrawEdge(dc, &rect, BDR_SUNKENOUTER, BF_RECT);
    if (hasFocus) {
        InflateRect(&rect, -2, -2);
        DrawFocusRect(dc, &rect);
    }
    EndPaint(hwnd, &ps);
}
