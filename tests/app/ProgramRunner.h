#pragma once

// One of the built programs run as a child process, as a user or a script
// runs it, with its standard output and standard error caught apart.

#include "tests/support/TestFiles.h"
#include "tests/support/Wait.h"

#include <windows.h>

#include <string>
#include <thread>

// A visible top-level window of the process with that title and class (null:
// any), looked for until timeoutMs have passed (0: looked for once).
inline HWND waitForWindow(DWORD processId, const char* title, const char* className = nullptr, DWORD timeoutMs = 20000)
{
    struct Search {
        DWORD processId;
        const char* title;
        const char* className;
        HWND found;
    } search{processId, title, className, nullptr};
    struct Match {
        static BOOL CALLBACK window(HWND window, LPARAM lParam)
        {
            Search& s = *reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char text[256] = "";
            GetWindowTextA(window, text, sizeof text);
            char name[64] = "";
            GetClassNameA(window, name, sizeof name);
            if (owner == s.processId && IsWindowVisible(window) && (!s.title || std::string(text) == s.title) &&
                (!s.className || std::string(name) == s.className)) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        }
    };
    waitFor(
        [&] {
            EnumWindows(Match::window, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        static_cast<int>(timeoutMs));
    return search.found;
}

// A path or argument in double quotes, for a command line.
inline std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

class ProgramRunner {
public:
    // program: the build-time path of the executable; arguments are put on
    // the command line as they are (quote them yourself).
    ProgramRunner(const std::string& program, const std::string& arguments)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE outWrite = nullptr;
        HANDLE errWrite = nullptr;
        CreatePipe(&outRead, &outWrite, &inherit, 0);
        CreatePipe(&errRead, &errWrite, &inherit, 0);
        SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = outWrite;
        startup.hStdError = errWrite;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        std::string commandLine = "\"" + nativePath(program) + "\" " + arguments;
        started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                 &process) != 0;
        CloseHandle(outWrite);
        CloseHandle(errWrite);
        // Drained while the program runs, so that a long output cannot stall
        // it on a full pipe.
        outReader = std::thread([this] { drain(outRead, outText); });
        errReader = std::thread([this] { drain(errRead, errText); });
    }

    ~ProgramRunner()
    {
        if (started && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 99);
        joinReaders();
        if (started) {
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        CloseHandle(outRead);
        CloseHandle(errRead);
    }

    ProgramRunner(const ProgramRunner&) = delete;
    ProgramRunner& operator=(const ProgramRunner&) = delete;

    // Waits for the exit; -1 when the program does not end in time (a
    // message box waiting for a click, say).
    int exitCode(DWORD timeoutMs = 30000)
    {
        if (!started || WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        return static_cast<int>(code);
    }

    // What the program wrote; complete once exitCode has seen it end.
    std::string standardOutput()
    {
        joinReaders();
        return outText;
    }
    std::string standardError()
    {
        joinReaders();
        return errText;
    }

    bool started = false;
    PROCESS_INFORMATION process = {};

private:
    static void drain(HANDLE pipe, std::string& text)
    {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
    }

    void joinReaders()
    {
        // The readers end when the program and every process that inherited
        // the pipes are gone.
        if (started && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 99);
        if (outReader.joinable())
            outReader.join();
        if (errReader.joinable())
            errReader.join();
    }

    HANDLE outRead = nullptr;
    HANDLE errRead = nullptr;
    std::string outText;
    std::string errText;
    std::thread outReader;
    std::thread errReader;
};

// Waits until the window's thread has handled everything sent before.
inline bool answers(HWND window)
{
    DWORD_PTR result = 0;
    // Not SMTO_ABORTIFHUNG: a program busy with its first picture on a loaded
    // machine counts as hung after 5 s without taking a message.
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWaitMs, &result) != 0;
}

const char* const kViewerTitle = "Corvasi - ver.0.10";

// corvasi.exe, with what the tests ask of a running viewer.
class RunningViewer : public ProgramRunner {
public:
    explicit RunningViewer(const std::string& arguments) : ProgramRunner(CORVASI_EXE, arguments)
    {
        EXPECT_TRUE(started) << "the viewer did not start";
    }

    // A visible window of the program, by default its main window.
    HWND window(const char* title = kViewerTitle, const char* className = nullptr, DWORD timeoutMs = 20000)
    {
        return waitForWindow(process.dwProcessId, title, className, timeoutMs);
    }

    // The main window once it answers; null, the failure reported, when it
    // does not come up or answer.
    HWND answeringWindow()
    {
        const HWND main = started ? window() : nullptr;
        if (started && !main)
            ADD_FAILURE() << "no window titled " << kViewerTitle;
        else if (main && !answers(main))
            ADD_FAILURE() << "the window does not answer";
        else
            return main;
        return nullptr;
    }

    // Everything written to standard output and error, read after the exit.
    std::string output() { return standardOutput() + standardError(); }

    // Whether the program's thread holds the mouse capture in window.
    bool capturing(HWND window)
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(process.dwThreadId, &info) && info.hwndCapture == window;
    }

    // Closes the window as its close box does: the program must then exit
    // with 0 and write nothing (the texture manager says "warning : GLTexMan
    // not cleaned." on standard output when it is destroyed holding textures).
    void expectCleanExitOnClose(HWND window)
    {
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(0, exitCode());
        EXPECT_EQ("", output());
    }
};
