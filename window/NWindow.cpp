#include "window/NWindow.h"

namespace {

const char kClassName[] = "NWindow Class Name";
const char kPropName[] = "NWindow Prop Name";

// What a handler that threw is taken to have answered: a window whose
// creation threw is not created; anything else counts as handled.
LRESULT resultOfFailedHandler(UINT message)
{
    if (message == WM_NCCREATE)
        return FALSE;
    if (message == WM_CREATE)
        return -1;
    return 0;
}

// An exception must not unwind through the system's frames.
LRESULT dispatch(NWindow* p, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        if (p->delegate)
            return p->delegate->delegateProc(p, message, wParam, lParam);
        return p->windowProc(message, wParam, lParam);
    } catch (...) {
        return resultOfFailedHandler(message);
    }
}

// A window that cannot be resized offers no sizing commands.
void removeSizingCommands(HWND window)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu)
        return;
    RemoveMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    RemoveMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    RemoveMenu(menu, SC_SIZE, MF_BYCOMMAND);
}

void setProgramIcon(HWND window)
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), "IDR_MAINFRAME");
    if (!icon)
        icon = LoadIconA(nullptr, IDI_APPLICATION);
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

UINT buttonDownFor(UINT doubleClick)
{
    switch (doubleClick) {
    case WM_LBUTTONDBLCLK:
        return WM_LBUTTONDOWN;
    case WM_RBUTTONDBLCLK:
        return WM_RBUTTONDOWN;
    case WM_MBUTTONDBLCLK:
        return WM_MBUTTONDOWN;
    default:
        return 0;
    }
}

} // namespace

HINSTANCE NWindow::moduleInstance = nullptr;

NWindow::NWindow(bool autoDelete)
        : autoDelete(autoDelete), inModalLoop(false), modalResult(0), delegate(nullptr), prevWndProc(nullptr),
          hwnd(nullptr)
{
}

NWindow::~NWindow()
{
    if (inModalLoop)
        forgetModalLoops(this);
    // Normally the window is gone by now. One left behind (a WM_QUIT ended
    // its modal loop) goes on unbound instead of calling into a dead object.
    if (hwnd && fromHandle(hwnd) == this) {
        RemovePropA(hwnd, kPropName);
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
        if (prevWndProc && current == subclassWindowProc)
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevWndProc));
    }
}

LRESULT NWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return 0;
    if (prevWndProc)
        return callPreviousProc(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT NWindow::delegateProc(NWindow* target, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!target->hwnd)
        return 0;
    // A subclassed control must keep working when a delegate takes its
    // messages.
    if (target->prevWndProc)
        return callPreviousProc(target->hwnd, message, wParam, lParam);
    return DefWindowProcA(target->hwnd, message, wParam, lParam);
}

void NWindow::registerWindowClass(const char* className, HINSTANCE instance)
{
    if (!className)
        className = kClassName;
    if (!moduleInstance)
        moduleInstance = instance ? instance : GetModuleHandleA(nullptr);

    WNDCLASSA existing;
    if (GetClassInfoA(moduleInstance, className, &existing))
        return;

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = staticWindowProc;
    wc.hInstance = instance ? instance : GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // No background brush: the windows paint their own.
    wc.lpszClassName = className;
    // A failure shows as the failure of the next creation.
    RegisterClassExA(&wc);
}

NWindow* NWindow::fromHandle(HWND window)
{
    return static_cast<NWindow*>(GetPropA(window, kPropName));
}

LRESULT NWindow::callPreviousProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    NWindow* p = fromHandle(window);
    if (!p || !p->prevWndProc)
        return 0;
    return CallWindowProcA(p->prevWndProc, window, message, wParam, lParam);
}

LRESULT CALLBACK NWindow::staticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    NWindow* p = nullptr;
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        // Every window of a framework class is created with its object as
        // the creation parameter; one created otherwise stays unbound.
        p = static_cast<NWindow*>(cs->lpCreateParams);
        if (p) {
            p->hwnd = window;
            SetPropA(window, kPropName, p);
        }
        if (!(cs->style & WS_THICKFRAME))
            removeSizingCommands(window);
        if (!(cs->dwExStyle & (WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW)))
            setProgramIcon(window);
    } else {
        if (UINT down = buttonDownFor(message))
            SendMessageA(window, down, wParam, lParam);
        // Looked up only now: the button-down handler may have destroyed
        // the window.
        p = fromHandle(window);
    }

    if (!p)
        return DefWindowProcA(window, message, wParam, lParam);

    const LRESULT result = dispatch(p, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        p->hwnd = nullptr;
        RemovePropA(window, kPropName);
        if (p->autoDelete)
            delete p;
    }
    return result;
}

LRESULT CALLBACK NWindow::subclassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    NWindow* p = fromHandle(window);
    if (!p)
        return 0;

    const LRESULT result = dispatch(p, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        p->hwnd = nullptr;
        RemovePropA(window, kPropName);
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(p->prevWndProc));
        if (p->autoDelete)
            delete p;
    }
    return result;
}

bool NWindow::create(DWORD exStyle, const char* title, DWORD style, int x, int y, int width, int height, HWND parent,
                     HMENU menu, NWindow* delegate)
{
    registerWindowClass();
    this->delegate = delegate;
    return createWindow(kClassName, moduleInstance, exStyle, title, style, x, y, width, height, parent, menu);
}

bool NWindow::createWithClass(const char* className, HINSTANCE instance, DWORD exStyle, const char* title, DWORD style,
                              int x, int y, int width, int height, HWND parent, HMENU menu, NWindow* delegate)
{
    registerWindowClass(className, instance);
    this->delegate = delegate;
    return createWindow(className ? className : kClassName, instance ? instance : moduleInstance, exStyle, title, style,
                        x, y, width, height, parent, menu);
}

bool NWindow::createWindow(const char* className, HINSTANCE instance, DWORD exStyle, const char* title, DWORD style,
                           int x, int y, int width, int height, HWND parent, HMENU menu)
{
    // A window of a framework class has no procedure of its own to pass on to.
    prevWndProc = nullptr;
    HWND created = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, instance, this);
    // A window destroyed during its creation has been unbound, and an
    // autoDelete object deleted with it: this must not be touched then.
    if (!created || !IsWindow(created))
        return false;
    return hwnd != nullptr;
}

bool NWindow::createControl(const char* className, DWORD exStyle, const char* title, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, NWindow* delegate)
{
    this->delegate = delegate;
    prevWndProc = nullptr;
    HWND created =
        CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, moduleInstance, this);
    if (!created || !IsWindow(created))
        return false;
    hwnd = created;
    if (attach())
        SendMessageA(created, NWM_ATTACHED, 0, 0);
    // A control that cannot be subclassed still exists.
    return true;
}

bool NWindow::subclass()
{
    if (!hwnd)
        return false;
    return attach();
}

bool NWindow::attach()
{
    // A second binding would replace the first in the property, and the
    // default windowProc would then call itself through callPreviousProc
    // without end.
    if (fromHandle(hwnd))
        return false;
    prevWndProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    if (!prevWndProc)
        return false;
    SetPropA(hwnd, kPropName, this);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassWindowProc));
    return true;
}
