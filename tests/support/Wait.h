#pragma once

// Waiting for a condition with a deadline, never for a fixed time: a window
// that comes up, a dialog that goes away, a picture that is repainted. A
// test whose condition never holds fails within seconds instead of hanging
// until the test runner's timeout.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

// Long enough for a busy machine under Wine; short enough that a stuck test
// ends soon.
constexpr int kWaitMs = 10000;

// Checks condition every few milliseconds until it holds (true) or
// timeoutMs have passed (false).
template <class Condition>
bool waitFor(Condition condition, int timeoutMs = kWaitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

#ifdef _WIN32
#include <windows.h>

// Dispatches this thread's messages until done() holds; false when the time
// ran out or a WM_QUIT came (which is posted again for the caller's loop).
inline bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    return true;
}

// A visible window of that class and title (null: any) made by this process.
inline HWND findShownWindow(const char* className, const char* title)
{
    HWND window = FindWindowA(className, title);
    return window && IsWindowVisible(window) ? window : nullptr;
}

// Drives one modal window of the test's thread (a menu, a dialog, a message
// box) from a second thread, as a user would: waits for the window to come
// up, does the job, and waits for the window to go. When a wait runs out,
// it ends whatever modal loop holds the test's thread (cancels and closes
// the window, then posts a quit), so that the test fails within seconds;
// the failure is reported on the test's thread when the driver is destroyed.
class ModalDriver {
public:
    using Find = std::function<HWND()>;
    using Job = std::function<void(HWND window)>;

    ModalDriver(const char* what, Find find, Job job)
            : what(what), testThread(GetCurrentThreadId()), thread([this, find, job] { run(find, job); })
    {
    }
    ~ModalDriver()
    {
        finish();
        if (!problem.empty())
            ADD_FAILURE() << problem;
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // Whether the window came up and the job was done; asked once the modal
    // loop has returned. The job's last act (a click, a key) may close the
    // window while the job itself has yet to return, so this first waits for
    // the driver to end: at once when the window has gone, within its
    // deadline when the window is still open.
    bool done()
    {
        finish();
        return finished;
    }

private:
    // A window that has not come up yet is no longer waited for.
    void finish()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
    }

    void run(const Find& find, const Job& job)
    {
        HWND window = nullptr;
        if (!waitFor([&] { return stop || (window = find()) != nullptr; })) {
            giveUp(nullptr, "no " + what + " came up");
            return;
        }
        if (!window) {
            problem = "no " + what + " came up";
            return;
        }
        job(window);
        finished = true;
        if (!waitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }))
            giveUp(window, "the " + what + " stayed open");
    }

    void giveUp(HWND window, const std::string& why)
    {
        problem = why;
        if (window) {
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
            PostMessageA(window, WM_KEYUP, VK_ESCAPE, static_cast<LPARAM>(0xC0000001u));
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            PostMessageA(window, WM_CLOSE, 0, 0);
            if (waitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 2000))
                return;
        }
        PostThreadMessageA(testThread, WM_QUIT, 0, 0);
    }

    std::string what;
    DWORD testThread;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::string problem;
    std::thread thread;
};
#endif
