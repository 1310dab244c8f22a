#pragma once

#include <windows.h>

// Sent to a control right after it has been subclassed by createControl.
constexpr UINT NWM_ATTACHED = 0x6FE3;

// One object bound to one window through the "NWindow Prop Name" property.
// Windows of a framework class are bound during WM_NCCREATE, so the object
// sees WM_NCCREATE and WM_CREATE; controls of system classes are bound by
// subclassing once they exist. The binding goes after WM_NCDESTROY has
// reached the object, and autoDelete objects are then deleted.
//
// runModal pumps the thread's messages until the window is gone: the main
// loop of the program and the loop of every modal window.
class NWindow {
public:
    bool autoDelete;
    bool inModalLoop;
    int modalResult;
    NWindow* delegate;   // handles this window's messages instead, when set
    WNDPROC prevWndProc; // the control's own procedure when subclassed
    HWND hwnd;           // null while no window is bound

    explicit NWindow(bool autoDelete = false);
    virtual ~NWindow();

    NWindow(const NWindow&) = delete;
    NWindow& operator=(const NWindow&) = delete;
    NWindow(NWindow&&) = delete;
    NWindow& operator=(NWindow&&) = delete;

    // The default passes the message on to the subclassed control, or to
    // DefWindowProcA.
    virtual LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Handles a message of target, whose delegate this object is. The
    // default does what target's own default windowProc would do.
    virtual LRESULT delegateProc(NWindow* target, UINT message, WPARAM wParam, LPARAM lParam);

    // A null name is "NWindow Class Name". Registers only once per name.
    static void registerWindowClass(const char* className = nullptr, HINSTANCE instance = nullptr);
    static NWindow* fromHandle(HWND window);
    // The subclassed control's own procedure for the message; 0 when the
    // window is not a subclassed control.
    static LRESULT callPreviousProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK staticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK subclassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    static HINSTANCE moduleInstance;

    // Each returns whether a window is bound afterwards.
    bool create(DWORD exStyle, const char* title, DWORD style, int x, int y, int width, int height, HWND parent,
                HMENU menu, NWindow* delegate = nullptr);
    bool createWithClass(const char* className, HINSTANCE instance, DWORD exStyle, const char* title, DWORD style,
                         int x, int y, int width, int height, HWND parent, HMENU menu, NWindow* delegate = nullptr);
    // A window of an existing class, subclassed once it exists.
    bool createControl(const char* className, DWORD exStyle, const char* title, DWORD style, int x, int y, int width,
                       int height, HWND parent, HMENU menu, NWindow* delegate = nullptr);
    // Subclasses the window already in hwnd. False when there is none, or
    // when it is bound to an object already.
    bool subclass();

    // Pumps messages while the window exists, the owner disabled meanwhile;
    // returns modalResult. Dialog keys: Tab, Enter, Escape as in a dialog.
    // A WM_QUIT ends the loop and is posted again for the loop outside.
    int runModal(bool dialogKeys);
    // Enables the owner, stores the result and destroys the window, which
    // ends runModal.
    BOOL endModal(int result);

    // The topmost window above window through parents and owners.
    static HWND getRootWindow(HWND window);
    // Centre of the root window's screen rectangle; of the desktop for null.
    static POINT getWindowCenter(HWND window);

private:
    bool createWindow(const char* className, HINSTANCE instance, DWORD exStyle, const char* title, DWORD style, int x,
                      int y, int width, int height, HWND parent, HMENU menu);
    bool attach();
    // Lets a running runModal of a deleted object end without touching it.
    static void forgetModalLoops(NWindow* deleted);
};
