// The popup menu and its commands, driven through the real menu.

#include "tests/app/MenuDriver.h"
#include "tests/app/ViewerFixture.h"

#include "image/DibImage.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// Command positions among the menu's items (separators take none).
enum MenuCommand { TranslateItem, ScaleItem, RotateItem, ResetViewItem, AnaglyphModeItem, AnaglyphDepthItem, OpenMeshItem, CopyImageItem, SaveImageItem, CloseItem };

std::string grey()
{
    return "v -50 -50 0\nv 50 -50 0\nv 50 50 0\nv -50 50 0\nv 0 0 60\n"
           "usemtl a\nf 1 2 5\nf 2 3 5\nusemtl b\nf 3 4 5\nf 4 1 5\n";
}

const char* const kTwoColours = "newmtl a\nKd 1 0.5 0\nnewmtl b\nKd 0 0.5 1\n";

} // namespace

class ViewerMenuTest : public ViewerTest {
protected:
    void SetUp() override { createViewer(writeMesh("menu-pyramid", grey(), kTwoColours)); }

    // Opens the menu with a right click at (x, y) and presses the keys.
    RECT rightClick(int x, int y, std::vector<WPARAM> keys)
    {
        RECT where;
        {
            MenuDriver driver(viewer.hwnd, std::move(keys));
            SendMessageA(viewer.hwnd, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
            EXPECT_TRUE(driver.appeared) << "no menu came up";
            where = driver.where;
        }
        settle();
        return where;
    }
};

TEST_F(ViewerMenuTest, RightClickOpensTheMenuAtTheClickPoint)
{
    const RECT where = rightClick(100, 60, {VK_ESCAPE});
    POINT expected = {100, 60};
    ClientToScreen(viewer.hwnd, &expected);
    EXPECT_EQ(expected.x, where.left);
    EXPECT_EQ(expected.y, where.top);
}

TEST_F(ViewerMenuTest, ContextMenuKeyOpensItAtTheTopLeftCorner)
{
    MenuDriver driver(viewer.hwnd, {VK_ESCAPE});
    SendMessageA(viewer.hwnd, WM_KEYUP, VK_APPS, 0xC0000001);
    ASSERT_TRUE(driver.appeared);
    POINT corner = {0, 0};
    ClientToScreen(viewer.hwnd, &corner);
    EXPECT_EQ(corner.x, driver.where.left);
    EXPECT_EQ(corner.y, driver.where.top);
}

TEST_F(ViewerMenuTest, EscapeDoesNothing)
{
    viewer.camera.angles.x = 20;
    const Frame before = show();
    rightClick(10, 10, {VK_DOWN, VK_DOWN, VK_ESCAPE, VK_ESCAPE});
    EXPECT_EQ(Rotate, viewer.dragMode);
    EXPECT_FALSE(viewer.anaglyphMode);
    EXPECT_EQ(20.0, viewer.camera.angles.x);
    EXPECT_TRUE(IsWindow(viewer.hwnd));
    EXPECT_EQ(before.rgb, readFrame(viewer).rgb);
}

TEST_F(ViewerMenuTest, DragModesChangeWhatTheLeftButtonDoes)
{
    rightClick(10, 10, MenuDriver::choose(TranslateItem));
    EXPECT_EQ(Translate, viewer.dragMode);
    SendMessageA(viewer.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    SendMessageA(viewer.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(120, 100));
    SendMessageA(viewer.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(120, 100));
    EXPECT_DOUBLE_EQ(-0.1, viewer.camera.target.x);

    rightClick(10, 10, MenuDriver::choose(ScaleItem));
    EXPECT_EQ(Scale, viewer.dragMode);
    rightClick(10, 10, MenuDriver::choose(RotateItem));
    EXPECT_EQ(Rotate, viewer.dragMode);
}

TEST_F(ViewerMenuTest, ResetViewAndAnaglyphMode)
{
    const Frame start = show();
    viewer.camera.angles = Vec3{30, 40, 0};
    viewer.camera.scale = 2;
    rightClick(10, 10, MenuDriver::choose(ResetViewItem));
    EXPECT_EQ(0.0, viewer.camera.angles.x);
    EXPECT_EQ(1.0, viewer.camera.scale);
    EXPECT_EQ(start.rgb, readFrame(viewer).rgb) << "repainted with the start view";

    rightClick(10, 10, MenuDriver::choose(AnaglyphModeItem));
    EXPECT_TRUE(viewer.anaglyphMode);
    EXPECT_NE(start.rgb, readFrame(viewer).rgb);
    rightClick(10, 10, MenuDriver::choose(AnaglyphModeItem));
    EXPECT_FALSE(viewer.anaglyphMode);
    EXPECT_EQ(start.rgb, readFrame(viewer).rgb);
}

TEST_F(ViewerMenuTest, CloseEndsTheWindow)
{
    rightClick(10, 10, MenuDriver::choose(CloseItem));
    EXPECT_FALSE(viewer.hwnd);
    EXPECT_TRUE(sawQuit) << "the application is over with its window";
}

TEST_F(ViewerMenuTest, CopyImagePutsThePictureOnTheClipboard)
{
    viewer.anaglyphMode = true;
    rightClick(10, 10, MenuDriver::choose(CopyImageItem));
    const Frame shown = readFrame(viewer);

    EXPECT_EQ(viewer.hwnd, GetClipboardOwner());
    ASSERT_TRUE(OpenClipboard(nullptr));
    int dibs = 0;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format))
        dibs += format == CF_DIB;
    HANDLE data = GetClipboardData(CF_DIB);
    ASSERT_TRUE(data);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(data));
    ASSERT_TRUE(header);
    EXPECT_EQ(1, dibs);
    EXPECT_EQ(512, header->biWidth);
    EXPECT_EQ(512, header->biHeight) << "bottom-up";
    EXPECT_EQ(24, header->biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header->biCompression);
    const unsigned char* rows = reinterpret_cast<const unsigned char*>(header) + header->biSize;
    int different = 0;
    for (int y = 0; y < 512; y += 3) {
        for (int x = 0; x < 512; x += 3) {
            const unsigned char* p = rows + static_cast<std::size_t>(511 - y) * 1536 + x * 3;
            const Rgb s = shown.at(x, y);
            if (!within(p[2], s.r, 1) || !within(p[1], s.g, 1) || !within(p[0], s.b, 1)) {
                if (different < 8)
                    printf("diff at %d,%d clip %d %d %d shown %d %d %d\n", x, y, p[2], p[1], p[0], s.r, s.g, s.b);
                ++different;
            }
        }
    }
    GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(0, different) << "the clipboard holds the picture as shown, upright";
}

namespace {

// Fills in the save dialog's file name and presses Save.
class SaveDialogDriver {
public:
    explicit SaveDialogDriver(std::string path)
        : thread([this, path] { run(path); })
    {
    }
    ~SaveDialogDriver() { thread.join(); }
    std::atomic<bool> done{false};

private:
    void run(const std::string& path)
    {
        HWND dialog = nullptr;
        for (int i = 0; i < 1000 && !dialog; ++i) {
            dialog = FindWindowA("#32770", "Save image as");
            if (!dialog)
                Sleep(10);
        }
        if (!dialog)
            return;
        Sleep(200);
        // The file name box: an edit control in the explorer-style dialog.
        HWND name = GetDlgItem(dialog, 0x47C); // cmb13
        HWND edit = name ? FindWindowExA(name, nullptr, "Edit", nullptr) : GetDlgItem(dialog, 0x480);
        if (!edit)
            edit = GetDlgItem(dialog, 0x480); // edt1
        SendMessageA(edit ? edit : name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        done = true;
    }
    std::thread thread;
};

} // namespace

TEST_F(ViewerMenuTest, SaveImageWritesTheShownPictureAsABmpFile)
{
    const std::string mesh = writeUnicodeMesh();
    ASSERT_FALSE(mesh.empty());
    const std::string path = mesh.substr(0, mesh.rfind('\\')) + "\\画像é.bmp";
    std::remove(path.c_str());
    {
        SaveDialogDriver dialog(path);
        rightClick(10, 10, MenuDriver::choose(SaveImageItem));
    }
    const Frame shown = readFrame(viewer);
    const std::string bytes = readFile(path);
    ASSERT_EQ(54u + 512u * 1536u, bytes.size());
    // Read by hand, apart from the program's own reader.
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    EXPECT_EQ('B', bytes[0]);
    EXPECT_EQ('M', bytes[1]);
    EXPECT_EQ(54u, u32(10));
    EXPECT_EQ(512u, u32(18));
    EXPECT_EQ(512u, u32(22));
    EXPECT_EQ(24, bytes[28]);
    int different = 0;
    for (int y = 0; y < 512; y += 3) {
        for (int x = 0; x < 512; x += 3) {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + 54 +
                            static_cast<std::size_t>(511 - y) * 1536 + x * 3;
            const Rgb s = shown.at(x, y);
            if (!within(p[2], s.r, 1) || !within(p[1], s.g, 1) || !within(p[0], s.b, 1))
                ++different;
        }
    }
    EXPECT_EQ(0, different);
}

TEST_F(ViewerMenuTest, SavingWhereNothingCanBeWrittenWritesNothingAndSaysNothing)
{
    std::unique_ptr<DibImage> image(viewer.captureImage());
    ASSERT_TRUE(image);
    MessageBoxWatcher watcher;
    const std::string probe = scratchPath("probe");
    const std::string directory = probe.substr(0, probe.rfind('\\'));
    EXPECT_FALSE(saveImageFile(*image, directory.c_str()));
    EXPECT_FALSE(saveImageFile(*image, (directory + "\\no-such-folder\\x.bmp").c_str()));
    EXPECT_EQ(0, watcher.count());
}

TEST_F(ViewerMenuTest, CaptureOfANarrowWindowPadsItsRows)
{
    RECT rect = {0, 0, 3, 40};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    SetWindowPos(viewer.hwnd, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(viewer.hwnd, &client);
    std::unique_ptr<DibImage> image(viewer.captureImage());
    ASSERT_TRUE(image);
    EXPECT_EQ(client.right, image->width);
    if (client.right == 3) {
        EXPECT_EQ(12, image->stride);
    }
}

TEST_F(ViewerMenuTest, DepthDialogPreviewsAndCancelRestoresTheDepth)
{
    viewer.anaglyphMode = true;
    const Frame before = show();
    // In the dialog: the slider is moved to its end with the keyboard, then
    // the user cancels.
    int depthDuring = 0;
    Frame frameDuring;
    std::thread user([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 1000 && !dialog; ++i) {
            dialog = FindWindowA(nullptr, "Anaglyph Depth");
            if (!dialog || !IsWindowVisible(dialog)) {
                dialog = nullptr;
                Sleep(10);
            }
        }
        if (!dialog)
            return;
        HWND slider = FindWindowExA(dialog, nullptr, "msctls_trackbar32", nullptr);
        SendMessageA(slider, WM_KEYDOWN, VK_END, 1);
        SendMessageA(slider, WM_KEYUP, VK_END, 0xC0000001);
        depthDuring = viewer.anaglyphDepth;
        frameDuring = readFrame(viewer);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    rightClick(10, 10, MenuDriver::choose(AnaglyphDepthItem));
    user.join();
    EXPECT_EQ(1000, depthDuring) << "the slider edits the depth while the dialog is open";
    EXPECT_NE(before.rgb, frameDuring.rgb) << "and the picture follows it";
    EXPECT_EQ(300, viewer.anaglyphDepth);
    EXPECT_EQ(before.rgb, readFrame(viewer).rgb) << "cancel repaints with the old depth";
}
