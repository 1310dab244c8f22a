// The message loop on real windows, driven by messages posted before the
// loop starts or sent from handlers inside it.

#include "RecordingWindow.h"

#include <string>

namespace {

const DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
// NOTE: Wine under Xvfb hands a window with a caption, or one activated as
// it is shown, to the window manager, and then waits two seconds for the
// absent manager each time it is hidden. Windows that a test shows have
// neither.
const DWORD kPlainStyle = WS_POPUP | WS_BORDER;

class ModalLoop : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(owner.create(0, "Owner", kPlainStyle, 40, 40, 300, 200, nullptr, nullptr)); }
    void TearDown() override
    {
        if (modal.hwnd)
            DestroyWindow(modal.hwnd);
        if (owner.hwnd)
            DestroyWindow(owner.hwnd);
        EXPECT_EQ(takeQuit(), -1) << "a quit was left behind";
    }

    bool openModal(DWORD style = kDialogStyle)
    {
        return modal.create(WS_EX_TOOLWINDOW, "Modal", style, 80, 80, 200, 100, owner.hwnd, nullptr);
    }

    RecordingWindow owner;
    RecordingWindow modal;
};

TEST_F(ModalLoop, WithoutAWindowReturnsAtOnceAndTakesNoMessage)
{
    NWindow unbound;
    PostMessageA(owner.hwnd, WM_APP, 0, 0);
    EXPECT_EQ(unbound.runModal(true), 0);
    EXPECT_FALSE(unbound.inModalLoop);
    EXPECT_EQ(owner.count(WM_APP), 0);

    unbound.modalResult = 9;
    EXPECT_EQ(unbound.endModal(3), 0);
    EXPECT_EQ(unbound.modalResult, 9);
    pumpPending();
}

TEST_F(ModalLoop, EndModalInsideEndsTheLoopAndHandsBackTheOwner)
{
    ASSERT_TRUE(openModal(kPlainStyle));
    ShowWindow(owner.hwnd, SW_SHOWNA);
    ShowWindow(modal.hwnd, SW_SHOWNA);
    SetForegroundWindow(modal.hwnd);
    pumpPending();
    ASSERT_EQ(GetActiveWindow(), modal.hwnd);

    bool ownerDisabledInside = false;
    bool flaggedInside = false;
    modal.on(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
        ownerDisabledInside = !IsWindowEnabled(owner.hwnd);
        flaggedInside = modal.inModalLoop;
        modal.endModal(1);
        return 0;
    });
    // The owner's messages are served by the inner loop too.
    PostMessageA(owner.hwnd, WM_APP + 1, 0, 0);
    PostMessageA(modal.hwnd, WM_APP, 0, 0);

    LoopTimeout timeout;
    EXPECT_EQ(modal.runModal(false), 1);
    EXPECT_TRUE(ownerDisabledInside);
    EXPECT_TRUE(flaggedInside);
    EXPECT_FALSE(modal.inModalLoop);
    EXPECT_EQ(modal.hwnd, nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
    EXPECT_EQ(owner.count(WM_APP + 1), 1);
    // Enabled before the dialog went, the owner is what the system activates.
    EXPECT_EQ(GetActiveWindow(), owner.hwnd);
}

TEST_F(ModalLoop, QuitEndsTheLoopAndIsPostedAgain)
{
    ASSERT_TRUE(openModal());
    modal.on(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
        modal.modalResult = 5;
        PostQuitMessage(7);
        return 0;
    });
    PostMessageA(modal.hwnd, WM_APP, 0, 0);

    LoopTimeout timeout;
    EXPECT_EQ(modal.runModal(false), 5);
    EXPECT_FALSE(modal.inModalLoop);
    EXPECT_TRUE(IsWindow(modal.hwnd));
    EXPECT_FALSE(IsWindowEnabled(owner.hwnd));
    EXPECT_EQ(takeQuit(), 7);
}

TEST_F(ModalLoop, QuitInANestedLoopEndsTheOuterOneToo)
{
    int innerResult = -1;
    owner.on(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
        if (openModal()) {
            PostMessageA(modal.hwnd, WM_APP, 0, 0);
            innerResult = modal.runModal(true);
        }
        return 0;
    });
    modal.on(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
        modal.modalResult = 3;
        PostQuitMessage(11);
        return 0;
    });
    PostMessageA(owner.hwnd, WM_APP, 0, 0);

    LoopTimeout timeout;
    EXPECT_EQ(owner.runModal(false), 0);
    EXPECT_EQ(innerResult, 3);
    EXPECT_TRUE(IsWindow(owner.hwnd));
    EXPECT_EQ(takeQuit(), 11);
}

TEST_F(ModalLoop, WindowGoneBeforeTheFirstPassPostsNoQuit)
{
    ASSERT_TRUE(openModal());
    owner.on(WM_ENABLE, [&](WPARAM enabled, LPARAM) -> LRESULT {
        if (!enabled && modal.hwnd)
            DestroyWindow(modal.hwnd);
        return 0;
    });
    LoopTimeout timeout;
    EXPECT_EQ(modal.runModal(false), 0);
    EXPECT_FALSE(modal.inModalLoop);
    EXPECT_EQ(takeQuit(), -1);
    // Only endModal gives the owner back.
    EXPECT_FALSE(IsWindowEnabled(owner.hwnd));
}

TEST_F(ModalLoop, MainWindowClosedEndsTheLoopWithTheResultAsItWas)
{
    owner.on(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
        owner.modalResult = 4;
        PostMessageA(owner.hwnd, WM_CLOSE, 0, 0);
        return 0;
    });
    PostMessageA(owner.hwnd, WM_APP, 0, 0);
    LoopTimeout timeout;
    EXPECT_EQ(owner.runModal(false), 4);
    EXPECT_EQ(owner.hwnd, nullptr);
}

TEST_F(ModalLoop, AutoDeleteWindowEndsItsOwnLoop)
{
    int deletions = 0;
    auto* dialog = new RecordingWindow(true, &deletions);
    ASSERT_TRUE(dialog->create(WS_EX_TOOLWINDOW, "Self", kDialogStyle, 80, 80, 200, 100, owner.hwnd, nullptr));
    dialog->on(WM_APP, [dialog](WPARAM, LPARAM) -> LRESULT {
        dialog->endModal(7);
        return 0;
    });
    PostMessageA(dialog->hwnd, WM_APP, 0, 0);

    LoopTimeout timeout;
    // The object is deleted inside the loop; the loop must not read it.
    EXPECT_EQ(dialog->runModal(false), 7);
    EXPECT_EQ(deletions, 1);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
}

TEST_F(ModalLoop, WaitsWithoutSpinning)
{
    ASSERT_TRUE(openModal());
    modal.on(WM_TIMER, [&](WPARAM, LPARAM) -> LRESULT {
        modal.endModal(1);
        return 0;
    });
    SetTimer(modal.hwnd, 1, 400, nullptr);

    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel0, &user0);
    const DWORD start = GetTickCount();
    LoopTimeout timeout;
    EXPECT_EQ(modal.runModal(false), 1);
    const DWORD elapsed = GetTickCount() - start;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel1, &user1);

    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long busyMs = (ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 10000;
    EXPECT_GE(elapsed, 350u);
    EXPECT_LT(busyMs, elapsed / 8) << "busy " << busyMs << " ms of " << elapsed << " ms";
}

// ---------------------------------------------------------------- dialog keys

TEST_F(ModalLoop, DialogKeysOnAChildBecomeCommands)
{
    const struct {
        const char* name;
        WPARAM key;
        bool dialogKeys;
        int expected; // 100 + the command id, or -1 when no command came
    } cases[] = {
        {"Escape is Cancel", VK_ESCAPE, true, 100 + IDCANCEL},
        {"Enter is OK", VK_RETURN, true, 100 + IDOK},
        {"Escape without dialog keys", VK_ESCAPE, false, -1},
        {"Enter without dialog keys", VK_RETURN, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(openModal());
        HWND child = CreateWindowExA(0, "BUTTON", "Child", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 5, 5, 60, 20, modal.hwnd,
                                     reinterpret_cast<HMENU>(50), GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(child, nullptr);
        modal.on(WM_COMMAND, [&](WPARAM wParam, LPARAM) -> LRESULT {
            modal.endModal(100 + LOWORD(wParam));
            return 0;
        });
        // Ends the loop when the key has not.
        modal.on(WM_APP, [&](WPARAM, LPARAM) -> LRESULT {
            modal.endModal(-1);
            return 0;
        });
        PostMessageA(child, WM_KEYDOWN, c.key, 1);
        PostMessageA(modal.hwnd, WM_APP, 0, 0);

        LoopTimeout timeout;
        EXPECT_EQ(modal.runModal(c.dialogKeys), c.expected);
        DestroyWindow(modal.hwnd);
    }
}

// ------------------------------------------------------------- window centre

struct RawWindow : WindowGuard {
    RawWindow(DWORD style, int x, int y, int width, int height, HWND parent)
            : WindowGuard{CreateWindowExA(0, "STATIC", "", style, x, y, width, height, parent, nullptr,
                                          GetModuleHandleA(nullptr), nullptr)}
    {
    }
};

TEST(WindowCenter, OfNoWindowIsTheDesktopCentre)
{
    RECT desktop = {};
    GetWindowRect(GetDesktopWindow(), &desktop);
    const POINT c = NWindow::getWindowCenter(nullptr);
    EXPECT_EQ(c.x, (desktop.left + desktop.right) / 2);
    EXPECT_EQ(c.y, (desktop.top + desktop.bottom) / 2);
    EXPECT_EQ(NWindow::getRootWindow(nullptr), nullptr);
}

TEST(WindowCenter, OfAChildIsThatOfItsTopmostOwner)
{
    RawWindow top(WS_POPUP, 100, 60, 400, 300, nullptr);
    RawWindow owned(WS_POPUP, 700, 500, 50, 50, top.window);
    RawWindow child(WS_CHILD, 5, 5, 20, 20, owned.window);
    ASSERT_TRUE(top.window && owned.window && child.window);

    EXPECT_EQ(NWindow::getRootWindow(child.window), top.window);
    const POINT c = NWindow::getWindowCenter(child.window);
    EXPECT_EQ(c.x, 300);
    EXPECT_EQ(c.y, 210);
}

TEST(WindowCenter, HalvingTruncatesTowardZero)
{
    RawWindow w(WS_POPUP, 0, 0, 10, 10, nullptr);
    ASSERT_NE(w.window, nullptr);
    SetWindowPos(w.window, nullptr, -3, -7, 3, 3, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r = {};
    GetWindowRect(w.window, &r);
    ASSERT_EQ(r.left, -3);
    ASSERT_EQ(r.right, 0);
    ASSERT_EQ(r.top, -7);
    ASSERT_EQ(r.bottom, -4);
    const POINT c = NWindow::getWindowCenter(w.window);
    EXPECT_EQ(c.x, -1);
    EXPECT_EQ(c.y, -5);
}

} // namespace
