// The real program, started as a user starts it: its window, its icon, and a
// clean exit with nothing on standard output.

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

const char* const kTitle = "Corvasi - ver.0.10";

struct WindowSearch {
    DWORD processId;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM lParam)
{
    WindowSearch& s = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    if (owner == s.processId && IsWindowVisible(window) && std::string(text) == s.title) {
        s.found = window;
        return FALSE;
    }
    return TRUE;
}

// Waits up to timeoutMs for a visible top-level window of this process with
// the given title.
HWND waitForWindow(DWORD processId, const char* title, DWORD timeoutMs = 20000)
{
    WindowSearch search{processId, title, nullptr};
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return nullptr;
}

// corvasi.exe run with its standard output on a pipe.
class Viewer {
public:
    explicit Viewer(const std::string& arguments)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        CreatePipe(&outRead, &outWrite, &inherit, 0);
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outWrite;
        startup.hStdError = outWrite;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::string commandLine = "\"" + nativePath(CORVASI_EXE) + "\" " + arguments;
        started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &process) != 0;
        CloseHandle(outWrite);
        outWrite = nullptr;
    }

    ~Viewer()
    {
        if (started && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 99);
        if (started) {
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        CloseHandle(outRead);
    }

    // Waits for the exit; -1 when the program does not end in time.
    int exitCode(DWORD timeoutMs = 20000)
    {
        if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return static_cast<int>(code);
    }

    // Everything written to standard output and error (after the exit).
    std::string output()
    {
        std::string text;
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(outRead, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
        return text;
    }

    bool started = false;
    PROCESS_INFORMATION process = {};

private:
    HANDLE outRead = nullptr;
    HANDLE outWrite = nullptr;
};

SIZE clientSize(HWND window)
{
    RECT rect = {};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

TEST(Startup, WithAMeshShowsTheWindowAndClosesCleanly)
{
    Viewer viewer("\"" + dataPath("obj/cube.obj") + "\"");
    ASSERT_TRUE(viewer.started);
    const HWND window = waitForWindow(viewer.process.dwProcessId, kTitle);
    ASSERT_TRUE(window) << "no window titled " << kTitle;
    const SIZE size = clientSize(window);
    EXPECT_EQ(512, size.cx);
    EXPECT_EQ(512, size.cy);
    EXPECT_FALSE(waitForWindow(viewer.process.dwProcessId, "Open Mesh", 500)) << "a mesh was given: no dialog";

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, viewer.exitCode());
    EXPECT_EQ("", viewer.output());
}

TEST(Startup, WithoutArgumentsAsksForAMeshAndRunsEmptyAfterCancel)
{
    Viewer viewer("");
    ASSERT_TRUE(viewer.started);
    const HWND dialog = waitForWindow(viewer.process.dwProcessId, "Open Mesh");
    ASSERT_TRUE(dialog) << "the open-file dialog did not come up";
    const HWND window = waitForWindow(viewer.process.dwProcessId, kTitle);
    ASSERT_TRUE(window) << "the window is shown before the dialog";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);

    // Once the dialog is gone the window answers messages again.
    const DWORD start = GetTickCount();
    while (IsWindow(dialog) && GetTickCount() - start < 10000)
        Sleep(50);
    EXPECT_FALSE(IsWindow(dialog));
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));

    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, viewer.exitCode());
    EXPECT_EQ("", viewer.output());
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
