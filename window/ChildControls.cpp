#include "window/ChildControls.h"

HINSTANCE appInstance = nullptr;

namespace {

HWND createChild(const char* className, DWORD exStyle, const char* text, DWORD style, int x, int y, int width,
                 int height, HWND parent, int id)
{
    HWND control = CreateWindowExA(exStyle, className, text, style, x, y, width, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), appInstance, nullptr);
    // Sent even to a control that failed: a null window ignores it.
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return control;
}

} // namespace

HWND createPushButton(HWND parent, const char* text, int x, int y, int width, int height, int id)
{
    return createChild("BUTTON", 0, text, WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, x, y, width,
                       height, parent, id);
}

HWND createCheckBox(HWND parent, const char* text, int x, int y, int width, int height, int id)
{
    return createChild("BUTTON", 0, text, WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, x, y, width,
                       height, parent, id);
}

HWND createLabel(HWND parent, const char* text, int x, int y, int width, int height, DWORD style)
{
    return createChild("STATIC", 0, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent, 0);
}

HWND createGroupBox(HWND parent, const char* text, int x, int y, int width, int height, bool tabStop)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | BS_GROUPBOX | (tabStop ? WS_TABSTOP : 0);
    return createChild("BUTTON", 0, text, style, x, y, width, height, parent, 0);
}

HWND createEditBox(HWND parent, const char* text, int x, int y, int width, int height, bool readOnly)
{
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | (readOnly ? ES_READONLY : 0);
    return createChild("EDIT", WS_EX_CLIENTEDGE, text, style, x, y, width, height, parent, 0);
}
