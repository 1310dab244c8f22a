// The real program, started as a user starts it: its window, its icon, and a
// clean exit with nothing on standard output.

#include "tests/app/ProgramRunner.h"
#include "tests/app/ViewerFixture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

SIZE clientSize(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Whether the window comes to show red in the middle of its client area.
bool comesToShowRed(HWND window)
{
    return waitFor([&] {
        HDC dc = GetDC(window);
        const COLORREF c = GetPixel(dc, 256, 256);
        ReleaseDC(window, dc);
        return isRed(Rgb{GetRValue(c), GetGValue(c), GetBValue(c)});
    });
}

} // namespace

TEST(Startup, WithAMeshShowsTheWindowAndClosesCleanly)
{
    const std::string mesh = writeUnicodeMesh();
    ASSERT_FALSE(mesh.empty());
    RunningViewer viewer(quoted(mesh));
    const HWND window = viewer.window();
    ASSERT_TRUE(window) << "no window titled " << kViewerTitle;
    const SIZE size = clientSize(window);
    EXPECT_EQ(512, size.cx);
    EXPECT_EQ(512, size.cy);
    EXPECT_TRUE(comesToShowRed(window)) << "the mesh and its texture, named in CJK and accented letters";
    EXPECT_FALSE(viewer.window("Open Mesh", nullptr, 500)) << "a mesh was given: no dialog";
    viewer.expectCleanExitOnClose(window);
}

TEST(Startup, WithoutArgumentsAsksForAMeshAndRunsEmptyAfterCancel)
{
    RunningViewer viewer("");
    const HWND dialog = viewer.window("Open Mesh");
    ASSERT_TRUE(dialog) << "the open-file dialog did not come up";
    const HWND window = viewer.window();
    ASSERT_TRUE(window) << "the window is shown before the dialog";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);

    // Once the dialog is gone the window answers messages again.
    EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); })) << "the dialog stays";
    EXPECT_TRUE(answers(window));
    viewer.expectCleanExitOnClose(window);
}

TEST(Startup, WithoutArgumentsOpensTheMeshPickedInTheDialog)
{
    const std::string mesh = writeUnicodeMesh();
    ASSERT_FALSE(mesh.empty());
    RunningViewer viewer("");
    const HWND dialog = viewer.window("Open Mesh");
    ASSERT_TRUE(dialog) << "the open-file dialog did not come up";
    // The file name box (cmb13) may still be filled by the dialog itself.
    for (const DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 10000; Sleep(200)) {
        SendMessageA(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mesh.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    const HWND window = viewer.window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(comesToShowRed(window));
    viewer.expectCleanExitOnClose(window);
}

TEST(Startup, TheProgramCarriesItsOwnIcon)
{
    const HMODULE program = LoadLibraryExA(nativePath(CORVASI_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program);
    EXPECT_TRUE(FindResourceA(program, "IDR_MAINFRAME", MAKEINTRESOURCEA(14))) << "icon group IDR_MAINFRAME";
    const HICON icon = static_cast<HICON>(LoadImageA(program, "IDR_MAINFRAME", IMAGE_ICON, 32, 32, 0));
    EXPECT_TRUE(icon);
    if (icon)
        DestroyIcon(icon);
    FreeLibrary(program);
}
