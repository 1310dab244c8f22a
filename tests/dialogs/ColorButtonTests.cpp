// The colour swatch button on a real window: its pixels read back from the
// screen, and the system colour chooser worked from a timer while it runs.

#include "DialogTestSupport.h"

#include "dialogs/ColorButton.h"

#include <algorithm>
#include <cstring>

namespace {

// Controls of the system colour chooser.
const int kRedEdit = 706;
const int kGreenEdit = 707;
const int kBlueEdit = 708;
const int kColorGraph = 710;
const int kAddCustomColor = 712;
const int kCustomColors = 721;

const int kButtonId = 77;
const int kWidth = 60;
const int kHeight = 30;

BOOL CALLBACK takeChooser(HWND window, LPARAM result)
{
    if (className(window) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

HWND findChooser()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), takeChooser, reinterpret_cast<LPARAM>(&found));
    return found;
}

COLORREF chooserColor(HWND chooser)
{
    return RGB(GetDlgItemInt(chooser, kRedEdit, nullptr, FALSE), GetDlgItemInt(chooser, kGreenEdit, nullptr, FALSE),
               GetDlgItemInt(chooser, kBlueEdit, nullptr, FALSE));
}

// Types a colour into the chooser's red, green and blue boxes.
void typeColor(HWND chooser, COLORREF color)
{
    SetDlgItemInt(chooser, kRedEdit, GetRValue(color), FALSE);
    SetDlgItemInt(chooser, kGreenEdit, GetGValue(color), FALSE);
    SetDlgItemInt(chooser, kBlueEdit, GetBValue(color), FALSE);
}

void press(HWND chooser, int id)
{
    PostMessageA(GetDlgItem(chooser, id), BM_CLICK, 0, 0);
}

// Works each colour chooser that opens on this thread with the next action,
// from a timer that the chooser's own loop dispatches. A chooser that nobody
// expected, or that is still open after a few seconds, is a failure and is
// ended, so that no test hangs on it.
class ChooserDriver {
public:
    using Action = std::function<void(HWND chooser)>;

    explicit ChooserDriver(std::vector<Action> actions = {}) : actions(std::move(actions))
    {
        current = this;
        timer = SetTimer(nullptr, 0, 40, &ChooserDriver::tick);
    }
    ~ChooserDriver()
    {
        KillTimer(nullptr, timer);
        current = nullptr;
    }
    ChooserDriver(const ChooserDriver&) = delete;
    ChooserDriver& operator=(const ChooserDriver&) = delete;

    int opened = 0;
    bool open() const { return chooser != nullptr; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
    {
        ChooserDriver* d = current;
        if (!d || d->acting)
            return;
        HWND found = findChooser();
        if (found != d->chooser) {
            d->chooser = found;
            d->since = GetTickCount();
            if (!found)
                return;
            const std::size_t index = static_cast<std::size_t>(d->opened++);
            d->acting = true;
            if (index < d->actions.size()) {
                d->actions[index](found);
            } else {
                ADD_FAILURE() << "a colour chooser opened unexpectedly";
                press(found, IDCANCEL);
            }
            d->acting = false;
        } else if (found && GetTickCount() - d->since > 5000) {
            ADD_FAILURE() << "the colour chooser stayed open";
            EndDialog(found, 0);
            d->since = GetTickCount();
        }
    }

    std::vector<Action> actions;
    HWND chooser = nullptr;
    DWORD since = 0;
    bool acting = false;
    UINT_PTR timer = 0;
    static inline ChooserDriver* current = nullptr;
};

class ColorButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::fill(std::begin(ColorButton::customColors), std::end(ColorButton::customColors), 0);
        // NOTE: Wine under Xvfb waits two seconds for the absent window
        // manager when a captioned or activated window goes; the host is
        // neither unless a test gives it the focus.
        ASSERT_TRUE(host.create(0, "Host", WS_POPUP | WS_BORDER, 200, 200, 300, 200, nullptr, nullptr));
        host.on(WM_COMMAND, [this](WPARAM wParam, LPARAM lParam) -> LRESULT {
            commands.push_back({WM_COMMAND, wParam, lParam});
            return 0;
        });
        ShowWindow(host.hwnd, SW_SHOWNA);
    }
    void TearDown() override
    {
        if (host.hwnd)
            DestroyWindow(host.hwnd);
    }

    bool createButton(ColorButton& button, int x = 10, int y = 10)
    {
        if (!button.create(host.hwnd, kButtonId, x, y, kWidth, kHeight))
            return false;
        UpdateWindow(button.hwnd);
        return true;
    }

    // The button's pixel as on the screen.
    static COLORREF pixel(const ColorButton& button, int x, int y)
    {
        HDC dc = GetDC(button.hwnd);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(button.hwnd, dc);
        return c;
    }

    // Posts a click on the button and serves the loop until it has been
    // handled, with the chooser it opened, if any, closed again.
    void click(ColorButton& button, ChooserDriver& driver)
    {
        PostMessageA(button.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageA(button.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        settle(driver);
    }
    void pressKey(ColorButton& button, ChooserDriver& driver, WPARAM key)
    {
        postKey(button.hwnd, key);
        settle(driver);
    }
    static void settle(ChooserDriver& driver)
    {
        MSG msg;
        // Posted input first, then whatever the chooser left behind.
        EXPECT_TRUE(pumpUntil([&] { return !driver.open() && !PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); }));
    }

    RecordingWindow host;
    std::vector<RecordingWindow::Seen> commands;
};

TEST_F(ColorButtonTest, PaintsItsColourInASunkenEdgeOrTheFaceColourWhenDisabled)
{
    ColorButton button(RGB(200, 30, 40));
    ASSERT_TRUE(createButton(button));

    EXPECT_EQ(pixel(button, kWidth / 2, kHeight / 2), RGB(200, 30, 40));
    EXPECT_EQ(pixel(button, 2, 2), RGB(200, 30, 40));
    // Sunken: shadow above and left, light below and right.
    EXPECT_EQ(pixel(button, 0, kHeight / 2), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixel(button, kWidth / 2, 0), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(pixel(button, kWidth - 1, kHeight / 2), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(pixel(button, kWidth / 2, kHeight - 1), GetSysColor(COLOR_BTNHIGHLIGHT));

    EnableWindow(button.hwnd, FALSE);
    EXPECT_FALSE(button.enabled);
    EXPECT_EQ(pixel(button, kWidth / 2, kHeight / 2), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(pixel(button, 0, kHeight / 2), GetSysColor(COLOR_BTNSHADOW));

    EnableWindow(button.hwnd, TRUE);
    EXPECT_EQ(pixel(button, kWidth / 2, kHeight / 2), RGB(200, 30, 40));
}

TEST_F(ColorButtonTest, CreatedDisabledPaintsTheFaceColourAndIgnoresClicks)
{
    ColorButton button(RGB(200, 30, 40));
    ASSERT_TRUE(button.NWindow::create(0, "", WS_CHILD | WS_VISIBLE | WS_DISABLED, 10, 10, kWidth, kHeight, host.hwnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId))));
    UpdateWindow(button.hwnd);
    EXPECT_EQ(pixel(button, kWidth / 2, kHeight / 2), GetSysColor(COLOR_BTNFACE));

    ChooserDriver driver;
    click(button, driver);
    EXPECT_EQ(driver.opened, 0);
}

TEST_F(ColorButtonTest, ShowsAFocusRectangleOnlyWhileFocused)
{
    ColorButton button(RGB(0, 0, 255));
    ASSERT_TRUE(createButton(button));
    auto markedOnInsetRow = [&] {
        int marked = 0;
        for (int x = 2; x < kWidth - 2; ++x)
            marked += pixel(button, x, 2) != RGB(0, 0, 255);
        return marked;
    };
    EXPECT_EQ(markedOnInsetRow(), 0);

    SetFocus(button.hwnd);
    ASSERT_EQ(GetFocus(), button.hwnd);
    EXPECT_GT(markedOnInsetRow(), kWidth / 4);
    // Two pixels in: the edge and the row inside it are left alone.
    EXPECT_EQ(pixel(button, kWidth / 2, 1), RGB(0, 0, 255));
    EXPECT_EQ(pixel(button, kWidth / 2, 0), GetSysColor(COLOR_BTNSHADOW));

    SetFocus(host.hwnd);
    EXPECT_EQ(markedOnInsetRow(), 0);
}

TEST_F(ColorButtonTest, ClickPicksAColourAndNotifiesOnceAndCancelChangesNothing)
{
    ColorButton button(RGB(200, 30, 40));
    ASSERT_TRUE(createButton(button));
    COLORREF offered = 0;
    bool fullyOpen = false;
    HWND chooserOwner = nullptr;
    ChooserDriver driver({
        [&](HWND chooser) {
            offered = chooserColor(chooser);
            fullyOpen = IsWindowVisible(GetDlgItem(chooser, kColorGraph)) != FALSE;
            chooserOwner = GetWindow(chooser, GW_OWNER);
            typeColor(chooser, RGB(10, 120, 230));
            press(chooser, IDOK);
        },
        [&](HWND chooser) {
            typeColor(chooser, RGB(1, 1, 1));
            press(chooser, IDCANCEL);
        },
    });

    click(button, driver);
    EXPECT_EQ(driver.opened, 1);
    EXPECT_EQ(offered, RGB(200, 30, 40)) << "the chooser did not start at the button's colour";
    EXPECT_TRUE(fullyOpen);
    EXPECT_EQ(chooserOwner, host.hwnd);
    EXPECT_EQ(button.color, RGB(10, 120, 230));
    EXPECT_EQ(pixel(button, kWidth / 2, kHeight / 2), RGB(10, 120, 230));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), kButtonId);
    EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
    EXPECT_EQ(reinterpret_cast<HWND>(commands[0].lParam), button.hwnd);
    EXPECT_NE(GetFocus(), button.hwnd) << "a click must not take the focus";
    EXPECT_TRUE(IsWindowEnabled(host.hwnd));

    click(button, driver);
    EXPECT_EQ(driver.opened, 2);
    EXPECT_EQ(button.color, RGB(10, 120, 230));
    EXPECT_EQ(pixel(button, kWidth / 2, kHeight / 2), RGB(10, 120, 230));
    EXPECT_EQ(commands.size(), 1u);
}

TEST_F(ColorButtonTest, KeysOpenTheChooserOnlyWhileTheButtonHasTheFocus)
{
    ColorButton button(RGB(5, 6, 7));
    ASSERT_TRUE(createButton(button));
    ChooserDriver driver({[&](HWND chooser) { press(chooser, IDCANCEL); }});

    pressKey(button, driver, VK_SPACE);
    EXPECT_EQ(driver.opened, 0);

    // Disabled, it ignores clicks too.
    EnableWindow(button.hwnd, FALSE);
    click(button, driver);
    EXPECT_EQ(driver.opened, 0);
    EnableWindow(button.hwnd, TRUE);

    SetFocus(button.hwnd);
    ASSERT_TRUE(button.hasFocus);
    pressKey(button, driver, 'C');
    EXPECT_EQ(driver.opened, 1);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(button.color, RGB(5, 6, 7));
}

TEST_F(ColorButtonTest, CustomColoursAreKeptForTheNextButton)
{
    ColorButton first(RGB(1, 2, 3));
    ColorButton second(RGB(255, 255, 255));
    ASSERT_TRUE(createButton(first, 10, 10));
    ASSERT_TRUE(createButton(second, 10, 60));
    COLORREF offeredBack = 0;
    ChooserDriver driver({
        [&](HWND chooser) {
            typeColor(chooser, RGB(90, 60, 30));
            SendMessageA(GetDlgItem(chooser, kAddCustomColor), BM_CLICK, 0, 0);
            press(chooser, IDOK);
        },
        [&](HWND chooser) {
            // A click on the first custom colour box picks it.
            HWND boxes = GetDlgItem(chooser, kCustomColors);
            POINT at = {3, 3};
            MapWindowPoints(boxes, chooser, &at, 1);
            SendMessageA(chooser, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
            SendMessageA(chooser, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            offeredBack = chooserColor(chooser);
            press(chooser, IDOK);
        },
    });

    click(first, driver);
    EXPECT_EQ(ColorButton::customColors[0], RGB(90, 60, 30));
    click(second, driver);
    EXPECT_EQ(driver.opened, 2);
    EXPECT_EQ(offeredBack, RGB(90, 60, 30));
    EXPECT_EQ(second.color, RGB(90, 60, 30));
}

} // namespace
