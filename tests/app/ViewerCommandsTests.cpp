// The popup menu and its commands, driven through the real menu.

#include "tests/app/MenuDriver.h"
#include "tests/app/ScratchVolume.h"
#include "tests/app/ViewerFixture.h"

#include "image/DibImage.h"
#include "mesh/Mesh.h"

#include <GL/glext.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace {

std::string grey()
{
    return "v -50 -50 0\nv 50 -50 0\nv 50 50 0\nv -50 50 0\nv 0 0 60\n"
           "usemtl a\nf 1 2 5\nf 2 3 5\nusemtl b\nf 3 4 5\nf 4 1 5\n";
}

const char* const kTwoColours = "newmtl a\nKd 1 0.5 0\nnewmtl b\nKd 0 0.5 1\n";

// NOTE: Mesa's llvmpipe reads a multisampled back buffer one sample a pixel,
// where the swap shows the mean of the samples: a captured picture and the
// picture on show may differ wherever an edge of a triangle crosses a pixel,
// and only there. Those pixels are found by drawing every triangle in a
// colour of its own without multisampling, in each eye: a pixel is at an edge
// when its 3 x 3 neighbourhood holds more than one triangle or background.
// Rows from the bottom, as OpenGL and bottom-up images count them.
std::vector<bool> edgePixels(ViewerWindow& viewer, int width, int height)
{
    std::vector<bool> edge(static_cast<std::size_t>(width) * height);
    std::vector<GLuint> ids(edge.size());
    viewer.context.makeCurrent(nullptr);
    glDisable(GL_MULTISAMPLE);
    glDisable(GL_LIGHTING);
    for (int eye = viewer.anaglyphMode ? 0 : -1; eye < (viewer.anaglyphMode ? 2 : 0); ++eye) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        if (eye < 0)
            viewer.camera.applyProjection();
        else
            viewer.camera.applyStereoProjection(eye == 1, viewer.anaglyphDepth * 0.0005);
        GLuint id = 0;
        glBegin(GL_TRIANGLES);
        for (const auto& material : viewer.mesh->materials) {
            for (std::size_t f = 0; f < material->faceCount(); ++f) {
                ++id;
                glColor4ubv(reinterpret_cast<const GLubyte*>(&id));
                for (int j = 0; j < 3; ++j) {
                    const Vec3& p = viewer.mesh->positions[material->face(f).positionIndex(j)];
                    glVertex3d(p.x, p.y, p.z);
                }
            }
        }
        glEnd();
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, ids.data());
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int j = std::max(0, y - 1); j <= std::min(height - 1, y + 1); ++j)
                    for (int i = std::max(0, x - 1); i <= std::min(width - 1, x + 1); ++i)
                        if (ids[j * width + i] != ids[y * width + x])
                            edge[y * width + x] = true;
    }
    glEnable(GL_MULTISAMPLE);
    viewer.context.releaseCurrent();
    return edge;
}

// A bottom-up 24-bit picture (what) must hold the frame on show, upright,
// apart from edge pixels, which must be few.
void expectShownOffEdges(const char* what, const Frame& shown, const std::vector<bool>& edge, const unsigned char* rows,
                         int stride)
{
    int different = 0;
    int edges = 0;
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            const unsigned char* p = rows + static_cast<std::size_t>(y) * stride + x * 3;
            const Rgb s = shown.at(x, shown.height - 1 - y);
            if (edge[static_cast<std::size_t>(y) * shown.width + x])
                ++edges;
            else if (p[2] != s.r || p[1] != s.g || p[0] != s.b)
                ++different;
        }
    }
    EXPECT_EQ(0, different) << what << " holds the picture as shown, upright";
    EXPECT_LT(edges, shown.width * shown.height / 20);
}

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

TEST_F(ViewerMenuTest, CopyImageOfACoveredViewerPutsTheWholePictureOnTheClipboard)
{
    viewer.anaglyphMode = true;
    const Frame shown = show();
    const std::vector<bool> edge = edgePixels(viewer, 512, 512);
    // A top-most window over the lower right quarter, where the mesh is too.
    POINT centre = {256, 256};
    ClientToScreen(viewer.hwnd, &centre);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_BLACKRECT,
                                 centre.x, centre.y, 256, 256, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(cover);
    UpdateWindow(cover);
    EXPECT_FALSE(isBackground(shown.at(300, 300)));
    EXPECT_NE(shown.at(300, 300).r, readFrame(viewer).at(300, 300).r) << "the cover hides it on the screen";
    rightClick(10, 10, MenuDriver::choose(CopyImageItem));
    DestroyWindow(cover);

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
    expectShownOffEdges("the clipboard", shown, edge, reinterpret_cast<const unsigned char*>(header) + header->biSize,
                        1536);
    GlobalUnlock(data);
    CloseClipboard();
}

namespace {

// Fills in the save dialog's file name and presses Save; when replacing a
// file, answers Yes to the question whether to replace it.
class SaveDialogDriver {
public:
    explicit SaveDialogDriver(std::string path, bool replacing = false)
            : replacing(replacing), driver(
                                        "save dialog", [] { return findShownWindow("#32770", "Save image as"); },
                                        [this, path](HWND dialog) { run(dialog, path); })
    {
    }

private:
    void run(HWND dialog, const std::string& path)
    {
        // The file name box: an edit control in the explorer-style dialog,
        // filled in once the dialog has made it.
        HWND box = nullptr;
        waitFor([&] {
            HWND name = GetDlgItem(dialog, 0x47C); // cmb13
            box = name ? FindWindowExA(name, nullptr, "Edit", nullptr) : nullptr;
            if (!box)
                box = GetDlgItem(dialog, 0x480); // edt1
            if (!box)
                box = name;
            return box && IsWindowVisible(box);
        });
        SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        if (!replacing)
            return;
        // The question is a box of its own, owned by the dialog.
        HWND question = nullptr;
        waitFor([&] {
            for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w && !question;
                 w = FindWindowExA(nullptr, w, "#32770", nullptr))
                if (GetWindow(w, GW_OWNER) == dialog && IsWindowVisible(w))
                    question = w;
            return question != nullptr;
        });
        PostMessageA(question, WM_COMMAND, IDYES, 0);
    }

    const bool replacing;
    ModalDriver driver;
};

} // namespace

TEST_F(ViewerMenuTest, SaveImageOfAViewerPartlyOffTheScreenWritesTheWholePicture)
{
    const Frame shown = show();
    const std::vector<bool> edge = edgePixels(viewer, 512, 512);
    // Only the top left 200 x 150 pixels of the client area stay on the screen.
    RECT frame, client;
    GetWindowRect(viewer.hwnd, &frame);
    GetClientRect(viewer.hwnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(viewer.hwnd, &origin);
    SetWindowPos(viewer.hwnd, nullptr, GetSystemMetrics(SM_CXSCREEN) - 200 - (origin.x - frame.left),
                 GetSystemMetrics(SM_CYSCREEN) - 150 - (origin.y - frame.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_NE(shown.rgb, show().rgb) << "the screen holds only part of it";
    // Into a folder whose name is outside any ANSI code page.
    const std::string mesh = writeUnicodeMesh();
    ASSERT_FALSE(mesh.empty());
    // Over an older picture, which the user agrees to replace.
    const std::string folder = mesh.substr(0, mesh.rfind('\\'));
    const std::string path = folder + "\\画像é.bmp";
    ASSERT_TRUE(writeFile(path, "an older picture"));
    const std::vector<std::string> listing = folderListing(folder);
    {
        SaveDialogDriver dialog(path, true);
        rightClick(10, 10, MenuDriver::choose(SaveImageItem));
    }
    EXPECT_EQ(listing, folderListing(folder)) << "nothing is left beside it";
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
    expectShownOffEdges("the file", shown, edge, reinterpret_cast<const unsigned char*>(bytes.data()) + 54, 1536);
}

namespace {

// The bytes of an older picture: a 100 x 100 BMP file.
std::string olderPicture()
{
    std::string bytes = "BM";
    for (int i = 2; i < 54 + 100 * 300; ++i)
        bytes += static_cast<char>(i * 7);
    return bytes;
}

} // namespace

class SaveRefusedTest : public ViewerMenuTest {
protected:
    // Saves over path through the menu and the dialog, agreeing to replace
    // it, where the save must fail: the user is told, the view stays, and
    // nothing in the folder changes. The holder, when given, is closed
    // before the old bytes are read back.
    void expectRefused(const std::string& path, const std::string& oldBytes, HANDLE holder = nullptr)
    {
        const std::string folder = path.substr(0, path.rfind('\\'));
        const std::vector<std::string> listing = folderListing(folder);
        viewer.camera.angles.x = 20;
        const Frame before = show();
        MessageBoxWatcher watcher;
        {
            SaveDialogDriver dialog(path, true);
            rightClick(10, 10, MenuDriver::choose(SaveImageItem));
        }
        EXPECT_EQ(1, watcher.count());
        EXPECT_EQ("Cannot save image : " + path, watcher.lastText());
        EXPECT_EQ(20.0, viewer.camera.angles.x);
        EXPECT_EQ(before.rgb, readFrame(viewer).rgb) << "the picture on show stays";
        EXPECT_EQ(listing, folderListing(folder)) << "nothing is left beside the file";
        if (holder)
            CloseHandle(holder);
        const std::string now = readFile(path);
        EXPECT_TRUE(now == oldBytes) << "the old picture of " << oldBytes.size()
                                     << " bytes is kept byte for byte; the file holds " << now.size();
    }
};

TEST_F(SaveRefusedTest, OntoAVolumeTooSmallForTheNewPicture)
{
    // Room for the old picture of 30 KB, not for the new one of 768 KB.
    ScratchVolume volume("small-volume", 256);
    if (!volume.skipReason.empty())
        GTEST_SKIP() << volume.skipReason;
    const std::string old = olderPicture();
    const std::string path = volume.folder + "\\picture.bmp";
    ASSERT_TRUE(writeFile(path, old));
    expectRefused(path, old);
}

TEST_F(SaveRefusedTest, IntoAReadOnlyFolder)
{
    // NOTE: Wine run by root writes into a folder without write permission
    // (root passes every permission check), and Wine does not enforce the
    // access control lists that make a folder read-only on Windows. A volume
    // mounted read-only refuses everyone, as a write-protected disk does.
    ScratchVolume volume("read-only-volume", 1024);
    if (!volume.skipReason.empty())
        GTEST_SKIP() << volume.skipReason;
    const std::string old = olderPicture();
    const std::string path = volume.folder + "\\picture.bmp";
    ASSERT_TRUE(writeFile(path, old));
    ASSERT_TRUE(volume.makeReadOnly());
    expectRefused(path, old);
}

TEST_F(SaveRefusedTest, OverAFileThatAnotherHandleHoldsOpenWithoutSharing)
{
    const std::string folder = scratchPath("held-open");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string old = olderPicture();
    const std::string path = folder + "\\picture.bmp";
    ASSERT_TRUE(writeFile(path, old));
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    expectRefused(path, old, holder);
}

TEST_F(ViewerMenuTest, SaveImageFileWritesNothingWhereNothingCanBeWritten)
{
    std::unique_ptr<DibImage> image(viewer.captureImage());
    ASSERT_TRUE(image);
    const std::string probe = scratchPath("probe");
    const std::string directory = probe.substr(0, probe.rfind('\\'));
    EXPECT_FALSE(saveImageFile(*image, directory.c_str()));
    EXPECT_FALSE(saveImageFile(*image, (directory + "\\no-such-folder\\x.bmp").c_str()));
}

namespace {

// Another program with the clipboard open: a thread that opens it at once
// and closes it holdMs after the popup menu has gone, that is, after the
// command has started.
class ClipboardHolder {
public:
    explicit ClipboardHolder(int holdMs)
            : thread([this, holdMs] {
                  opened = OpenClipboard(nullptr) != 0;
                  ready = true;
                  if (!opened)
                      return;
                  waitFor([] { return findShownWindow("#32768", nullptr) != nullptr; });
                  waitFor([] { return findShownWindow("#32768", nullptr) == nullptr; });
                  Sleep(holdMs);
                  CloseClipboard();
              })
    {
        waitFor([this] { return ready.load(); });
    }
    ~ClipboardHolder() { thread.join(); }

    std::atomic<bool> ready{false};
    std::atomic<bool> opened{false};

private:
    std::thread thread;
};

} // namespace

TEST_F(ViewerMenuTest, CopyImageWaitsForAClipboardHeldAMomentAndTellsOfOneHeldLonger)
{
    {
        ClipboardHolder holder(100);
        ASSERT_TRUE(holder.opened);
        MessageBoxWatcher watcher;
        rightClick(10, 10, MenuDriver::choose(CopyImageItem));
        EXPECT_EQ(0, watcher.count()) << watcher.lastText();
    }
    EXPECT_EQ(viewer.hwnd, GetClipboardOwner()) << "copied once the clipboard was free";
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));

    ASSERT_TRUE(OpenClipboard(viewer.hwnd));
    EmptyClipboard();
    CloseClipboard();
    {
        ClipboardHolder holder(2000);
        ASSERT_TRUE(holder.opened);
        MessageBoxWatcher watcher;
        rightClick(10, 10, MenuDriver::choose(CopyImageItem));
        EXPECT_EQ(1, watcher.count());
        EXPECT_EQ("Cannot copy image to the clipboard", watcher.lastText());
    }
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
}

TEST_F(ViewerMenuTest, CaptureOfANarrowWindowPadsItsRows)
{
    resizeClient(3, 40);
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
    {
        DepthDialogUser user([&] {
            depthDuring = viewer.anaglyphDepth;
            frameDuring = readFrame(viewer);
        });
        rightClick(10, 10, MenuDriver::choose(AnaglyphDepthItem));
    }
    EXPECT_EQ(1000, depthDuring) << "the slider edits the depth while the dialog is open";
    EXPECT_NE(before.rgb, frameDuring.rgb) << "and the picture follows it";
    EXPECT_EQ(300, viewer.anaglyphDepth);
    EXPECT_EQ(before.rgb, readFrame(viewer).rgb) << "cancel repaints with the old depth";
}
