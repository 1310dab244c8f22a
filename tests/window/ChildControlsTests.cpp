// The child-control helpers and the trackbar wrapper on real controls, read
// back through the system: class, styles, id, font, range and ticks.

#include "RecordingWindow.h"

#include "window/ChildControls.h"
#include "window/TrackbarControl.h"

#include <commctrl.h>

#include <functional>
#include <string>

namespace {

// Trackbars need the common controls, as in the program's start-up.
class CommonControls : public testing::Environment {
public:
    void SetUp() override { InitCommonControls(); }
};
testing::Environment* const commonControls = testing::AddGlobalTestEnvironment(new CommonControls);

DWORD styleOf(HWND window)
{
    return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
}

DWORD exStyleOf(HWND window)
{
    return static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
}

HFONT defaultGuiFont()
{
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

HFONT fontOf(HWND window)
{
    return reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
}

// A hidden framework window to put the controls in.
class ChildControls : public testing::Test {
protected:
    void SetUp() override
    {
        // Not the program's own module, so that the stored handle is seen
        // to be the one used.
        appInstance = GetModuleHandleA("user32.dll");
        ASSERT_TRUE(parent.create(0, "Parent", WS_POPUP | WS_BORDER, 20, 20, 400, 300, nullptr, nullptr));
    }
    void TearDown() override
    {
        if (parent.hwnd)
            DestroyWindow(parent.hwnd);
        appInstance = nullptr;
    }

    RecordingWindow parent;
};

TEST_F(ChildControls, KindsHaveTheirClassStyleIdAndFont)
{
    const struct {
        const char* name;
        std::function<HWND(HWND parent)> create;
        const char* className;
        DWORD style;
        DWORD exStyle;
        int id;
    } cases[] = {
        {"push button", [](HWND p) { return createPushButton(p, "Text", 7, 9, 110, 23, 41); }, "Button", 0x50030000, 0,
         41},
        {"check box", [](HWND p) { return createCheckBox(p, "Text", 7, 9, 110, 23, 42); }, "Button", 0x50030003, 0, 42},
        {"label", [](HWND p) { return createLabel(p, "Text", 7, 9, 110, 23, 0); }, "Static", 0x50000000, 0, 0},
        {"right-aligned label", [](HWND p) { return createLabel(p, "Text", 7, 9, 110, 23, SS_RIGHT); }, "Static",
         0x50000002, 0, 0},
        {"group box", [](HWND p) { return createGroupBox(p, "Text", 7, 9, 110, 23, false); }, "Button", 0x50000007, 0,
         0},
        {"group box with tab stop", [](HWND p) { return createGroupBox(p, "Text", 7, 9, 110, 23, true); }, "Button",
         0x50010007, 0, 0},
        {"edit box", [](HWND p) { return createEditBox(p, "Text", 7, 9, 110, 23, false); }, "Edit", 0x50010080,
         WS_EX_CLIENTEDGE, 0},
        {"read-only edit box", [](HWND p) { return createEditBox(p, "Text", 7, 9, 110, 23, true); }, "Edit", 0x50010880,
         WS_EX_CLIENTEDGE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND control = c.create(parent.hwnd);
        ASSERT_NE(control, nullptr);

        EXPECT_EQ(className(control), c.className);
        EXPECT_EQ(styleOf(control), c.style) << std::hex << styleOf(control);
        // The system may add extended bits of its own; the requested ones must
        // be there, and no client edge where none was asked for.
        EXPECT_EQ(exStyleOf(control) & WS_EX_CLIENTEDGE, c.exStyle);
        EXPECT_EQ(GetDlgCtrlID(control), c.id);
        EXPECT_EQ(GetParent(control), parent.hwnd);
        EXPECT_EQ(windowText(control), "Text");
        EXPECT_EQ(fontOf(control), defaultGuiFont());
        EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(control, GWLP_HINSTANCE)), appInstance);

        RECT r = {};
        GetWindowRect(control, &r);
        MapWindowPoints(HWND_DESKTOP, parent.hwnd, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, 7);
        EXPECT_EQ(r.top, 9);
        EXPECT_EQ(r.right - r.left, 110);
        EXPECT_EQ(r.bottom - r.top, 23);
        DestroyWindow(control);
    }
}

// ------------------------------------------------------------------ trackbar

// The trackbar keeps no font to ask for; what it is sent shows it.
class FontRecordingTrackbar : public TrackbarControl {
public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_SETFONT) {
            font = reinterpret_cast<HFONT>(wParam);
            redraw = lParam != 0;
        }
        return TrackbarControl::windowProc(message, wParam, lParam);
    }
    HFONT font = nullptr;
    bool redraw = false;
};

TEST_F(ChildControls, TrackbarHasItsRangeTicksAndFont)
{
    FontRecordingTrackbar trackbar;
    ASSERT_TRUE(trackbar.create(parent.hwnd, 64, 10, 200, 20, 0, 1000));

    EXPECT_EQ(className(trackbar.hwnd), "msctls_trackbar32");
    EXPECT_EQ(styleOf(trackbar.hwnd), 0x50010001u) << std::hex << styleOf(trackbar.hwnd);
    EXPECT_EQ(GetDlgCtrlID(trackbar.hwnd), 0);
    EXPECT_EQ(trackbar.font, defaultGuiFont());
    EXPECT_TRUE(trackbar.redraw);
    EXPECT_EQ(SendMessageA(trackbar.hwnd, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(trackbar.hwnd, TBM_GETRANGEMAX, 0, 0), 1000);
    EXPECT_EQ(SendMessageA(trackbar.hwnd, TBM_GETPOS, 0, 0), 0);
    // A tick every 100 positions: nine inside, and one at either end.
    EXPECT_EQ(SendMessageA(trackbar.hwnd, TBM_GETNUMTICS, 0, 0), 11);
    EXPECT_EQ(SendMessageA(trackbar.hwnd, TBM_GETTIC, 0, 0), 100);
}

TEST_F(ChildControls, TrackbarIsBoundUntilItIsDestroyed)
{
    TrackbarControl trackbar;
    ASSERT_TRUE(trackbar.create(parent.hwnd, 0, 0, 150, 20, 0, 10));
    HWND window = trackbar.hwnd;
    EXPECT_EQ(NWindow::fromHandle(window), &trackbar);
    ASSERT_NE(trackbar.prevWndProc, nullptr);

    // Through the framework the control still works as before: a key moves
    // it and tells the parent.
    SendMessageA(window, WM_KEYDOWN, VK_RIGHT, 1);
    SendMessageA(window, WM_KEYUP, VK_RIGHT, 0xC0000001);
    EXPECT_EQ(SendMessageA(window, TBM_GETPOS, 0, 0), 1);
    EXPECT_GE(parent.count(WM_HSCROLL), 2);

    DestroyWindow(parent.hwnd);
    EXPECT_EQ(trackbar.hwnd, nullptr);
    EXPECT_EQ(parent.hwnd, nullptr);
}

} // namespace
