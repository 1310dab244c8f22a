// The real program, started as a user starts it: its window, its icon, and a
// clean exit with nothing on standard output.

#include "tests/app/ProgramRunner.h"
#include "tests/app/ViewerFixture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const char* const kTitle = "Corvasi - ver.0.10";

SIZE clientSize(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Whether the window comes to show red in the middle of its client area.
bool comesToShowRed(HWND window)
{
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(50)) {
        HDC dc = GetDC(window);
        const COLORREF c = GetPixel(dc, 256, 256);
        ReleaseDC(window, dc);
        if (isRed(Rgb{GetRValue(c), GetGValue(c), GetBValue(c)}))
            return true;
    }
    return false;
}

} // namespace

TEST(Startup, WithAMeshShowsTheWindowAndClosesCleanly)
{
    const std::string mesh = writeUnicodeMesh();
    ASSERT_FALSE(mesh.empty());
    ProgramRunner viewer(CORVASI_EXE, "\"" + mesh + "\"");
    ASSERT_TRUE(viewer.started);
    const HWND window = waitForWindow(viewer.process.dwProcessId, kTitle);
    ASSERT_TRUE(window) << "no window titled " << kTitle;
    const SIZE size = clientSize(window);
    EXPECT_EQ(512, size.cx);
    EXPECT_EQ(512, size.cy);
    EXPECT_TRUE(comesToShowRed(window)) << "the mesh and its texture, named in CJK and accented letters";
    EXPECT_FALSE(waitForWindow(viewer.process.dwProcessId, "Open Mesh", nullptr, 500)) << "a mesh was given: no dialog";

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, viewer.exitCode());
    EXPECT_EQ("", viewer.standardOutput() + viewer.standardError());
}

TEST(Startup, WithoutArgumentsAsksForAMeshAndRunsEmptyAfterCancel)
{
    ProgramRunner viewer(CORVASI_EXE, "");
    ASSERT_TRUE(viewer.started);
    const HWND dialog = waitForWindow(viewer.process.dwProcessId, "Open Mesh");
    ASSERT_TRUE(dialog) << "the open-file dialog did not come up";
    const HWND window = waitForWindow(viewer.process.dwProcessId, kTitle);
    ASSERT_TRUE(window) << "the window is shown before the dialog";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);

    // Once the dialog is gone the window answers messages again.
    EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); })) << "the dialog stays";
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result));

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, viewer.exitCode());
    EXPECT_EQ("", viewer.standardOutput() + viewer.standardError());
}

TEST(Startup, WithoutArgumentsOpensTheMeshPickedInTheDialog)
{
    const std::string mesh = writeUnicodeMesh();
    ASSERT_FALSE(mesh.empty());
    ProgramRunner viewer(CORVASI_EXE, "");
    ASSERT_TRUE(viewer.started);
    const HWND dialog = waitForWindow(viewer.process.dwProcessId, "Open Mesh");
    ASSERT_TRUE(dialog) << "the open-file dialog did not come up";
    // The file name box (cmb13) may still be filled by the dialog itself.
    for (const DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 10000; Sleep(200)) {
        SendMessageA(GetDlgItem(dialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mesh.c_str()));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
    const HWND window = waitForWindow(viewer.process.dwProcessId, kTitle);
    ASSERT_TRUE(window);
    EXPECT_TRUE(comesToShowRed(window));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, viewer.exitCode());
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
