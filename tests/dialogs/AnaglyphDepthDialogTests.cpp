// The depth dialog run modally on real windows, worked by posted key strokes
// and injected mouse input from inside its loop, and read back as the user
// sees it: the value label, the slider, positions on the screen.

#include "DialogTestSupport.h"

#include "dialogs/AnaglyphDepthDialog.h"

#include <cstdlib>

namespace {

testing::Environment* const commonControls = testing::AddGlobalTestEnvironment(new CommonControlsEnvironment);

const DWORD kPlainStyle = WS_POPUP | WS_BORDER;

// What the owner saw when it was told of a new depth.
struct Notice {
    int depth;
    std::string label;
};

// Every dialog shown costs Wine a few seconds under Xvfb (it is captioned),
// so each test opens one and checks all it can on it.
class DepthDialog : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.create(0, "Root", kPlainStyle, 60, 80, 600, 400, nullptr, nullptr));
        // The owner is owned in turn: the dialog centres on the root, not on it.
        ASSERT_TRUE(owner.create(0, "Owner", kPlainStyle, 900, 700, 200, 120, root.hwnd, nullptr));
        owner.on(WM_DEPTH_CHANGED, [this](WPARAM, LPARAM) -> LRESULT {
            notices.push_back({depth, valueText()});
            return 0;
        });
    }
    void TearDown() override
    {
        // Left over only by a test that failed half-way.
        if (dialog.hwnd)
            DestroyWindow(dialog.hwnd);
        if (owner.hwnd)
            DestroyWindow(owner.hwnd);
        if (root.hwnd)
            DestroyWindow(root.hwnd);
        EXPECT_EQ(takeQuit(), -1) << "a quit was left behind";
    }

    HWND slider() const { return dialog.trackbar.hwnd; }
    int sliderPosition() const { return static_cast<int>(SendMessageA(slider(), TBM_GETPOS, 0, 0)); }
    std::string valueText() const { return windowText(dialog.valueLabel); }
    bool shown() const { return dialog.hwnd && IsWindowVisible(dialog.hwnd); }
    HWND child(const char* windowClass, const char* text) const
    {
        return FindWindowExA(dialog.hwnd, nullptr, windowClass, text);
    }
    // Where a child of the dialog sits in the dialog's client area.
    RECT clientRectOf(HWND control) const
    {
        RECT r = screenRect(control);
        MapWindowPoints(HWND_DESKTOP, dialog.hwnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    POINT thumbCenter() const
    {
        RECT thumb = {};
        SendMessageA(slider(), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
        MapWindowPoints(slider(), HWND_DESKTOP, reinterpret_cast<POINT*>(&thumb), 2);
        return centerOf(thumb);
    }

    bool run(HWND ownerWindow, const std::vector<Script::Step>& steps)
    {
        Script script(steps);
        LoopTimeout timeout(kWaitMs);
        const bool result = dialog.doModal(ownerWindow, &depth);
        EXPECT_TRUE(script.finished()) << "the dialog closed before the script was done";
        return result;
    }

    RecordingWindow root;
    RecordingWindow owner;
    AnaglyphDepthDialog dialog;
    int depth = 300;
    std::vector<Notice> notices;
};

TEST_F(DepthDialog, OpensCentredWithTheDepthShownAndEscapeCancels)
{
    depth = 300;
    const bool ok =
        run(owner.hwnd, {
                            [&] { return shown(); },
                            [&] {
                                EXPECT_EQ(windowText(dialog.hwnd), "Anaglyph Depth");
                                const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog.hwnd, GWL_STYLE));
                                EXPECT_EQ(style & 0x80C80080u, 0x80C80080u) << std::hex << style;
                                EXPECT_EQ(style & WS_THICKFRAME, 0u);
                                EXPECT_TRUE(GetWindowLongA(dialog.hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
                                EXPECT_EQ(GetWindow(dialog.hwnd, GW_OWNER), owner.hwnd);

                                RECT client = {};
                                GetClientRect(dialog.hwnd, &client);
                                EXPECT_EQ(client.right, 328);
                                // The frame is worked out for an ordinary caption; a tool window's
                                // is lower, which leaves the client area a little taller.
                                EXPECT_GE(client.bottom, 80);
                                EXPECT_LE(client.bottom, 100);

                                const POINT mine = centerOf(screenRect(dialog.hwnd));
                                const POINT rootCenter = centerOf(screenRect(root.hwnd));
                                EXPECT_LE(std::abs(mine.x - rootCenter.x), 1) << mine.x << " vs " << rootCenter.x;
                                EXPECT_LE(std::abs(mine.y - rootCenter.y), 1) << mine.y << " vs " << rootCenter.y;

                                EXPECT_FALSE(IsWindowEnabled(owner.hwnd));
                                EXPECT_EQ(GetFocus(), slider());

                                EXPECT_EQ(sliderPosition(), 300);
                                EXPECT_EQ(SendMessageA(slider(), TBM_GETRANGEMIN, 0, 0), 0);
                                EXPECT_EQ(SendMessageA(slider(), TBM_GETRANGEMAX, 0, 0), 1000);
                                EXPECT_EQ(SendMessageA(slider(), TBM_GETNUMTICS, 0, 0), 2) << "ticks at the ends only";
                                EXPECT_EQ(valueText(), "30.0%");

                                // "Level" on the left of the slider, the value on its right.
                                const RECT bar = clientRectOf(slider());
                                EXPECT_EQ(bar.left, 64);
                                EXPECT_EQ(bar.top, 10);
                                EXPECT_EQ(bar.right, 264);
                                HWND level = child("Static", "Level");
                                EXPECT_NE(level, nullptr);
                                const RECT levelRect = clientRectOf(level);
                                EXPECT_EQ(levelRect.right, bar.left);
                                EXPECT_EQ(levelRect.right - levelRect.left, 80);
                                EXPECT_TRUE(GetWindowLongA(level, GWL_STYLE) & SS_RIGHT);
                                const RECT valueRect = clientRectOf(dialog.valueLabel);
                                EXPECT_EQ(valueRect.left, bar.right);
                                EXPECT_EQ(valueRect.right - valueRect.left, 48);
                                EXPECT_TRUE(GetWindowLongA(dialog.valueLabel, GWL_STYLE) & SS_RIGHT);

                                HWND okButton = child("Button", "OK");
                                HWND cancelButton = child("Button", "Cancel");
                                EXPECT_EQ(GetDlgCtrlID(okButton), IDOK);
                                EXPECT_EQ(GetDlgCtrlID(cancelButton), IDCANCEL);
                                const RECT okRect = clientRectOf(okButton);
                                const RECT cancelRect = clientRectOf(cancelButton);
                                EXPECT_EQ(okRect.left, 328 / 2 - 84);
                                EXPECT_EQ(cancelRect.left, 328 / 2 + 4);
                                EXPECT_EQ(okRect.top, client.bottom - 32);
                                EXPECT_EQ(cancelRect.top, client.bottom - 32);
                                EXPECT_EQ(okRect.right - okRect.left, 80);
                                EXPECT_EQ(okRect.bottom - okRect.top, 24);

                                // A dialog already open is not opened again.
                                int other = 7;
                                EXPECT_FALSE(dialog.doModal(owner.hwnd, &other));
                                EXPECT_TRUE(IsWindowVisible(dialog.hwnd));
                                EXPECT_EQ(other, 7);

                                postKeyDown(slider(), VK_ESCAPE);
                                return true;
                            },
                        });
    EXPECT_FALSE(ok);
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_EQ(dialog.trackbar.hwnd, nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
    EXPECT_EQ(depth, 300);
    EXPECT_TRUE(notices.empty());
}

TEST_F(DepthDialog, KeysMoveTheLabelAtOnceAndStoreWhenReleasedAndEnterIsOk)
{
    depth = 5;
    const bool ok =
        run(owner.hwnd, {
                            [&] { return shown(); },
                            [&] {
                                EXPECT_EQ(valueText(), "0.5%");
                                EXPECT_EQ(sliderPosition(), 5);
                                // Three strokes of a held key, not yet released.
                                postKeyDown(slider(), VK_RIGHT);
                                PostMessageA(slider(), WM_KEYDOWN, VK_RIGHT, 1 | (1 << 30));
                                PostMessageA(slider(), WM_KEYDOWN, VK_RIGHT, 1 | (1 << 30));
                                return true;
                            },
                            [&] {
                                EXPECT_EQ(valueText(), "0.8%");
                                EXPECT_EQ(depth, 5) << "stored before the key was released";
                                EXPECT_TRUE(notices.empty());
                                PostMessageA(slider(), WM_KEYUP, VK_RIGHT, static_cast<LPARAM>(0xC0000001u));
                                return true;
                            },
                            [&] {
                                EXPECT_EQ(depth, 8);
                                EXPECT_EQ(notices.size(), 1u);
                                postKey(slider(), VK_END);
                                return true;
                            },
                            [&] {
                                EXPECT_EQ(valueText(), "100.0%");
                                EXPECT_EQ(depth, 1000);
                                // Already at the end: the key moves nothing, and nothing is told.
                                postKey(slider(), VK_RIGHT);
                                return true;
                            },
                            [&] {
                                // Away to another window and back: the keys still reach the slider.
                                SetActiveWindow(root.hwnd);
                                return true;
                            },
                            [&] {
                                EXPECT_EQ(GetActiveWindow(), root.hwnd);
                                SetActiveWindow(dialog.hwnd);
                                postKey(GetFocus(), VK_LEFT, 2);
                                return true;
                            },
                            [&] {
                                EXPECT_EQ(valueText(), "99.8%");
                                // Moved without an end of tracking, as by a wheel turn.
                                SendMessageA(slider(), TBM_SETPOS, TRUE, 640);
                                postKeyDown(slider(), VK_RETURN);
                                return true;
                            },
                        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(depth, 640) << "OK takes the slider's position";
    ASSERT_EQ(notices.size(), 3u);
    // Each notice came with the depth already stored and on show.
    EXPECT_EQ(notices[0].depth, 8);
    EXPECT_EQ(notices[0].label, "0.8%");
    EXPECT_EQ(notices[1].depth, 1000);
    EXPECT_EQ(notices[1].label, "100.0%");
    EXPECT_EQ(notices[2].depth, 998);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
}

TEST_F(DepthDialog, MouseDragFollowsTheThumbAndStoresOnceOnReleaseThenCancelKeepsIt)
{
    depth = 300;
    std::vector<std::string> labels;
    POINT grab = {};
    const bool ok = run(owner.hwnd, {
                                        [&] { return shown(); },
                                        [&] {
                                            grab = thumbCenter();
                                            mouseMove(grab);
                                            return true;
                                        },
                                        [&] {
                                            mouseDown(grab);
                                            return true;
                                        },
                                        [&] {
                                            EXPECT_EQ(GetCapture(), slider()) << "the thumb was not grabbed";
                                            mouseMove({grab.x + 30, grab.y});
                                            return true;
                                        },
                                        [&] {
                                            labels.push_back(valueText());
                                            mouseMove({grab.x + 60, grab.y + 3});
                                            return true;
                                        },
                                        [&] {
                                            labels.push_back(valueText());
                                            EXPECT_EQ(depth, 300) << "stored while the button was still down";
                                            EXPECT_TRUE(notices.empty());
                                            mouseUp({grab.x + 60, grab.y + 3});
                                            return true;
                                        },
                                        [&] {
                                            EXPECT_EQ(GetCapture(), nullptr);
                                            const POINT cancel = centerOf(screenRect(child("Button", "Cancel")));
                                            mouseMove(cancel);
                                            mouseDown(cancel);
                                            mouseUp(cancel);
                                            return true;
                                        },
                                    });
    EXPECT_FALSE(ok);
    ASSERT_EQ(labels.size(), 2u);
    const std::string first = labels[0];
    EXPECT_NE(first, "30.0%");
    EXPECT_NE(labels[1], first) << "the label did not follow the thumb";
    // The last stored position stays; putting the old one back is the caller's.
    EXPECT_GT(depth, 300);
    ASSERT_EQ(notices.size(), 1u) << "one release, one notice";
    EXPECT_EQ(notices[0].depth, depth);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%d.%d%%", depth / 10, depth % 10);
    EXPECT_EQ(notices[0].label, expected);
    EXPECT_EQ(labels[1], expected);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
}

TEST_F(DepthDialog, WithoutAnOwnerCentresOnTheDesktopAndTheCloseBoxCancels)
{
    depth = 1000;
    const bool ok = run(nullptr, {
                                     [&] { return shown(); },
                                     [&] {
                                         EXPECT_EQ(valueText(), "100.0%");
                                         EXPECT_EQ(GetWindow(dialog.hwnd, GW_OWNER), nullptr);
                                         const POINT mine = centerOf(screenRect(dialog.hwnd));
                                         const POINT desktop = centerOf(screenRect(GetDesktopWindow()));
                                         EXPECT_LE(std::abs(mine.x - desktop.x), 1);
                                         EXPECT_LE(std::abs(mine.y - desktop.y), 1);
                                         postKey(slider(), VK_HOME);
                                         return true;
                                     },
                                     [&] {
                                         EXPECT_EQ(depth, 0);
                                         EXPECT_EQ(valueText(), "0.0%");
                                         PostMessageA(dialog.hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                                         return true;
                                     },
                                 });
    EXPECT_FALSE(ok);
    EXPECT_EQ(depth, 0);
    // Nobody to tell.
    EXPECT_TRUE(notices.empty());
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
}

TEST_F(DepthDialog, WithoutADepthToEditNothingOpens)
{
    LoopTimeout timeout(2000);
    EXPECT_FALSE(dialog.doModal(owner.hwnd, nullptr));
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd));
}

} // namespace
