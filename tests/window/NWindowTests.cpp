// Binding objects to real windows and routing their messages.

#include "RecordingWindow.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// A test that breaks the framework may crash: end the process then, rather
// than wait in a debugger.
const UINT previousErrorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

const DWORD kPopup = WS_POPUP | WS_CAPTION | WS_SYSMENU;

// ---------------------------------------------------------------- creation

TEST(NWindowCreate, BindsBeforeCreateSoTheHandlerSeesEveryCreationMessage)
{
    RecordingWindow w;
    ASSERT_TRUE(w.create(0, "Bound", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr, nullptr));
    WindowGuard guard{w.hwnd};

    EXPECT_EQ(NWindow::fromHandle(w.hwnd), &w);
    ASSERT_GE(w.indexOf(WM_NCCREATE), 0);
    EXPECT_LT(w.indexOf(WM_NCCREATE), w.indexOf(WM_CREATE));
    // What arrives before WM_NCCREATE has nobody to go to but the system.
    const int minMax = w.indexOf(WM_GETMINMAXINFO);
    EXPECT_TRUE(minMax < 0 || minMax > w.indexOf(WM_NCCREATE));
    // The default handler took WM_NCCREATE: the title is in place.
    EXPECT_EQ(windowText(w.hwnd), "Bound");
    EXPECT_EQ(NWindow::moduleInstance, GetModuleHandleA(nullptr));
}

// The ways a window's creation can fail from inside its handler.
const struct FailingCreation {
    const char* name;
    UINT message;
    LRESULT answer;
    bool throws;
} kFailingCreations[] = {
    {"WM_CREATE answers -1", WM_CREATE, -1, false},
    {"WM_NCCREATE answers FALSE", WM_NCCREATE, FALSE, false},
    {"WM_CREATE throws", WM_CREATE, 0, true},
};

TEST(NWindowFailedCreate, ReturnsFalseAndUnbinds)
{
    for (const FailingCreation& c : kFailingCreations) {
        SCOPED_TRACE(c.name);
        RecordingWindow w;
        bool boundDuringNcDestroy = false;
        w.on(c.message, [c](WPARAM, LPARAM) -> LRESULT {
            if (c.throws)
                throw std::runtime_error("creation failed");
            return c.answer;
        });
        w.on(WM_NCDESTROY, [&w, &boundDuringNcDestroy](WPARAM, LPARAM) -> LRESULT {
            boundDuringNcDestroy = NWindow::fromHandle(w.hwnd) == &w;
            return 0;
        });

        EXPECT_FALSE(w.create(0, "Failing", kPopup, 0, 0, 100, 100, nullptr, nullptr));
        EXPECT_EQ(w.hwnd, nullptr);
        EXPECT_EQ(w.count(WM_NCDESTROY), 1);
        EXPECT_TRUE(boundDuringNcDestroy);
    }
}

TEST(NWindowFailedCreate, DeletesAnAutoDeleteObjectOnceAndLeavesItAlone)
{
    for (const FailingCreation& c : kFailingCreations) {
        SCOPED_TRACE(c.name);
        int deletions = 0;
        auto* w = new RecordingWindow(true, &deletions);
        w->on(c.message, [c](WPARAM, LPARAM) -> LRESULT {
            if (c.throws)
                throw std::runtime_error("creation failed");
            return c.answer;
        });
        // The object is gone when create returns; reading it would see garbage.
        EXPECT_FALSE(w->create(0, "Failing", kPopup, 0, 0, 100, 100, nullptr, nullptr));
        EXPECT_EQ(deletions, 1);
    }
}

TEST(NWindowCreate, HandlerExceptionIsContained)
{
    RecordingWindow w;
    w.on(WM_APP, [](WPARAM, LPARAM) -> LRESULT { throw std::runtime_error("handler failed"); });
    ASSERT_TRUE(w.create(0, "Throwing", kPopup, 0, 0, 100, 100, nullptr, nullptr));
    WindowGuard guard{w.hwnd};

    EXPECT_EQ(SendMessageA(w.hwnd, WM_APP, 0, 0), 0);
    SendMessageA(w.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("still working"));
    EXPECT_EQ(windowText(w.hwnd), "still working");
}

// ------------------------------------------------------------ window class

TEST(NWindowClass, RegistersOnceWithTheFrameworkProcedure)
{
    const char name[] = "Corvasi Test Registered Once";
    NWindow::registerWindowClass(name);
    SetLastError(0);
    NWindow::registerWindowClass(name);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), name, &wc));
    EXPECT_EQ(wc.lpfnWndProc, &NWindow::staticWindowProc);
    EXPECT_EQ(wc.style, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(wc.hbrBackground, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));

    RecordingWindow w;
    ASSERT_TRUE(w.createWithClass(name, nullptr, 0, "Own", kPopup, 0, 0, 100, 100, nullptr, nullptr));
    WindowGuard guard{w.hwnd};
    EXPECT_EQ(className(w.hwnd), name);
    EXPECT_GE(w.indexOf(WM_CREATE), 0);
}

// ----------------------------------------------------- system menu and icon

TEST(NWindowSystemMenu, OffersSizingOnlyWithAThickFrame)
{
    const struct {
        const char* name;
        DWORD style;
        bool sizable;
    } cases[] = {
        {"thick frame", WS_OVERLAPPEDWINDOW, true},
        {"fixed frame", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow w;
        ASSERT_TRUE(w.create(0, "Menu", c.style, 0, 0, 200, 100, nullptr, nullptr));
        WindowGuard guard{w.hwnd};
        HMENU menu = GetSystemMenu(w.hwnd, FALSE);
        ASSERT_NE(menu, nullptr);
        const UINT missing = static_cast<UINT>(-1);
        for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
            SCOPED_TRACE(command);
            EXPECT_EQ(GetMenuState(menu, command, MF_BYCOMMAND) != missing, c.sizable);
        }
        EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), missing);
        EXPECT_NE(GetMenuState(menu, SC_MOVE, MF_BYCOMMAND), missing);
    }
}

TEST(NWindowIcon, OnlyOrdinaryWindowsGetTheProgramIcon)
{
    const struct {
        const char* name;
        DWORD exStyle;
        bool hasIcon;
    } cases[] = {
        {"ordinary", 0, true},
        {"tool window", WS_EX_TOOLWINDOW, false},
        {"modal frame", WS_EX_DLGMODALFRAME, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow w;
        ASSERT_TRUE(w.create(c.exStyle, "Icon", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr));
        WindowGuard guard{w.hwnd};
        // This test program has no "IDR_MAINFRAME" icon: the system's stands in.
        HICON system = LoadIconA(nullptr, IDI_APPLICATION);
        EXPECT_NE(system, nullptr);
        const LRESULT expected = c.hasIcon ? reinterpret_cast<LRESULT>(system) : 0;
        EXPECT_EQ(SendMessageA(w.hwnd, WM_GETICON, ICON_BIG, 0), expected);
        EXPECT_EQ(SendMessageA(w.hwnd, WM_GETICON, ICON_SMALL, 0), expected);
    }
}

// ------------------------------------------------------------ double clicks

TEST(NWindowDoubleClick, IsPrecededByItsButtonDown)
{
    const struct {
        const char* name;
        UINT doubleClick;
        UINT down;
        WPARAM keys;
    } cases[] = {
        {"left", WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, MK_LBUTTON},
        {"right", WM_RBUTTONDBLCLK, WM_RBUTTONDOWN, MK_RBUTTON},
        {"middle", WM_MBUTTONDBLCLK, WM_MBUTTONDOWN, MK_MBUTTON},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWindow w;
        ASSERT_TRUE(w.create(0, "Clicks", kPopup, 0, 0, 100, 100, nullptr, nullptr));
        WindowGuard guard{w.hwnd};
        w.seen.clear();

        const LPARAM at = MAKELPARAM(12, 34);
        SendMessageA(w.hwnd, c.doubleClick, c.keys, at);
        ASSERT_EQ(w.seen.size(), 2u);
        EXPECT_EQ(w.seen[0].message, c.down);
        EXPECT_EQ(w.seen[1].message, c.doubleClick);
        for (const auto& s : w.seen) {
            EXPECT_EQ(s.wParam, c.keys);
            EXPECT_EQ(s.lParam, at);
        }
    }
}

TEST(NWindowRealInput, DoubleClickArrivesAsTwoFullClicks)
{
    RecordingWindow w;
    ASSERT_TRUE(w.create(WS_EX_TOPMOST, "Clicks", WS_POPUP, 100, 100, 200, 200, nullptr, nullptr));
    WindowGuard guard{w.hwnd};
    // NOTE: Wine under Xvfb waits two seconds at the end for a window
    // manager when the window was activated as it was shown.
    ShowWindow(w.hwnd, SW_SHOWNA);
    pumpPending();
    SetCursorPos(150, 150);
    pumpPending();
    w.seen.clear();

    INPUT clicks[4] = {};
    const DWORD flags[4] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = flags[i];
    }
    ASSERT_EQ(SendInput(4, clicks, sizeof(INPUT)), 4u);

    std::vector<UINT> buttons;
    const DWORD start = GetTickCount();
    while (buttons.size() < 5 && GetTickCount() - start < 2000) {
        pumpPending();
        buttons.clear();
        for (const auto& s : w.seen)
            if (s.message >= WM_LBUTTONDOWN && s.message <= WM_LBUTTONDBLCLK)
                buttons.push_back(s.message);
        Sleep(10);
    }
    const std::vector<UINT> expected = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    EXPECT_EQ(buttons, expected);
}

// ------------------------------------------------------ subclassed controls

class NWindowControl : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.create(0, "Parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr));
    }
    void TearDown() override
    {
        if (parent.hwnd)
            DestroyWindow(parent.hwnd);
    }

    RecordingWindow parent;
};

TEST_F(NWindowControl, ReceivesAttachedFirstAndKeepsTheControlWorking)
{
    RecordingWindow check;
    ASSERT_TRUE(check.createControl("BUTTON", 0, "Check", WS_CHILD | BS_AUTOCHECKBOX, 5, 5, 80, 20, parent.hwnd,
                                    reinterpret_cast<HMENU>(7)));
    ASSERT_FALSE(check.seen.empty());
    EXPECT_EQ(check.seen.front().message, NWM_ATTACHED);
    EXPECT_EQ(NWindow::fromHandle(check.hwnd), &check);
    EXPECT_NE(check.prevWndProc, nullptr);

    SendMessageA(check.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Renamed"));
    EXPECT_EQ(windowText(check.hwnd), "Renamed");
    SendMessageA(check.hwnd, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(check.hwnd, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_GE(check.indexOf(BM_SETCHECK), 0);
    EXPECT_GE(check.indexOf(WM_SETTEXT), 0);
}

// Installed over the framework's subclass, to see which procedure the
// control has once WM_NCDESTROY has been through the framework.
WNDPROC procUnderOuter = nullptr;
WNDPROC procAfterNcDestroy = nullptr;

LRESULT CALLBACK outerSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcA(procUnderOuter, window, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        procAfterNcDestroy = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
    return result;
}

TEST_F(NWindowControl, DestroyedControlIsUnboundAndGetsItsProcedureBack)
{
    RecordingWindow edit;
    ASSERT_TRUE(edit.createControl("EDIT", 0, "", WS_CHILD, 5, 5, 80, 20, parent.hwnd, nullptr));
    HWND window = edit.hwnd;
    const WNDPROC original = edit.prevWndProc;
    bool boundDuringNcDestroy = false;
    edit.on(WM_NCDESTROY, [&](WPARAM, LPARAM) -> LRESULT {
        boundDuringNcDestroy = NWindow::fromHandle(window) == &edit && IsWindow(window);
        return NWindow::callPreviousProc(window, WM_NCDESTROY, 0, 0);
    });
    procUnderOuter =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(outerSubclass)));
    EXPECT_EQ(procUnderOuter, &NWindow::subclassWindowProc);
    procAfterNcDestroy = nullptr;

    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(edit.hwnd, nullptr);
    EXPECT_TRUE(boundDuringNcDestroy);
    EXPECT_EQ(edit.indexOf(WM_DESTROY) + 1, edit.indexOf(WM_NCDESTROY));
    EXPECT_EQ(procAfterNcDestroy, original);
}

TEST_F(NWindowControl, AutoDeleteControlIsDeletedWithItsWindow)
{
    int deletions = 0;
    auto* button = new RecordingWindow(true, &deletions);
    ASSERT_TRUE(button->createControl("BUTTON", 0, "Gone", WS_CHILD, 5, 5, 80, 20, parent.hwnd, nullptr));
    HWND window = button->hwnd;
    DestroyWindow(parent.hwnd);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(deletions, 1);
}

TEST_F(NWindowControl, SubclassTakesOverAnExistingWindowOnce)
{
    RecordingWindow label;
    EXPECT_FALSE(label.subclass());
    label.hwnd = CreateWindowExA(0, "STATIC", "Label", WS_CHILD, 0, 0, 80, 20, parent.hwnd, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(label.hwnd, nullptr);
    ASSERT_TRUE(label.subclass());
    EXPECT_EQ(label.count(NWM_ATTACHED), 0);

    // A second binding would have the default handler call itself forever.
    EXPECT_FALSE(label.subclass());
    RecordingWindow second;
    second.hwnd = label.hwnd;
    EXPECT_FALSE(second.subclass());
    second.hwnd = nullptr;

    SendMessageA(label.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Relabelled"));
    EXPECT_EQ(windowText(label.hwnd), "Relabelled");
    EXPECT_EQ(label.count(WM_SETTEXT), 1);
    EXPECT_TRUE(second.seen.empty());
}

TEST_F(NWindowControl, SubclassRefusesAFrameworkWindow)
{
    RecordingWindow other;
    other.hwnd = parent.hwnd;
    EXPECT_FALSE(other.subclass());
    other.hwnd = nullptr;
    SendMessageA(parent.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Parent again"));
    EXPECT_EQ(windowText(parent.hwnd), "Parent again");
}

// ----------------------------------------------------------------- delegate

class RecordingDelegate : public NWindow {
public:
    LRESULT delegateProc(NWindow* target, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        targets.push_back(target);
        messages.push_back(message);
        return NWindow::delegateProc(target, message, wParam, lParam);
    }
    std::vector<NWindow*> targets;
    std::vector<UINT> messages;
};

TEST(NWindowDelegate, TakesEveryMessageOfAFrameworkWindow)
{
    RecordingDelegate handler;
    RecordingWindow w;
    ASSERT_TRUE(w.create(0, "Delegated", kPopup, 0, 0, 100, 100, nullptr, nullptr, &handler));
    WindowGuard guard{w.hwnd};
    EXPECT_EQ(w.delegate, &handler);
    EXPECT_TRUE(w.seen.empty());
    ASSERT_FALSE(handler.messages.empty());
    const auto& m = handler.messages;
    EXPECT_NE(std::find(m.begin(), m.end(), WM_NCCREATE), m.end());
    EXPECT_NE(std::find(m.begin(), m.end(), WM_CREATE), m.end());
    for (NWindow* target : handler.targets)
        EXPECT_EQ(target, &w);
    // The default delegate handling did what DefWindowProcA does.
    EXPECT_EQ(windowText(w.hwnd), "Delegated");
}

TEST_F(NWindowControl, DelegateOfAControlKeepsTheControlWorking)
{
    RecordingDelegate handler;
    RecordingWindow check;
    ASSERT_TRUE(check.createControl("BUTTON", 0, "Check", WS_CHILD | BS_AUTOCHECKBOX, 5, 5, 80, 20, parent.hwnd,
                                    nullptr, &handler));
    SendMessageA(check.hwnd, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(check.hwnd, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(check.seen.empty());
    ASSERT_FALSE(handler.messages.empty());
    EXPECT_EQ(handler.messages.front(), NWM_ATTACHED);
}

// ---------------------------------------------------- objects that go first

TEST(NWindowLifetime, DeletedObjectLeavesItsWindowUnbound)
{
    auto* w = new RecordingWindow;
    ASSERT_TRUE(w->create(0, "Orphan", kPopup, 0, 0, 100, 100, nullptr, nullptr));
    HWND window = w->hwnd;
    WindowGuard guard{window};
    delete w;

    ASSERT_EQ(NWindow::fromHandle(window), nullptr);
    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Unbound"));
    EXPECT_EQ(windowText(window), "Unbound");
}

TEST_F(NWindowControl, DeletedObjectGivesTheControlItsProcedureBack)
{
    auto* check = new RecordingWindow;
    ASSERT_TRUE(
        check->createControl("BUTTON", 0, "Check", WS_CHILD | BS_AUTOCHECKBOX, 5, 5, 80, 20, parent.hwnd, nullptr));
    HWND window = check->hwnd;
    const WNDPROC original = check->prevWndProc;
    delete check;

    ASSERT_EQ(NWindow::fromHandle(window), nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)), original);
    SendMessageA(window, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(window, BM_GETCHECK, 0, 0), BST_CHECKED);
}

} // namespace
