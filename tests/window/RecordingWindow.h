#pragma once

#include "window/NWindow.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

// An NWindow whose handler records every message it sees and answers the
// ones given a reaction; the rest go to the framework's default.
//
//   RecordingWindow w;
//   w.on(WM_CREATE, [](WPARAM, LPARAM) -> LRESULT { return -1; });
//   EXPECT_FALSE(w.create(0, "t", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
class RecordingWindow : public NWindow {
public:
    struct Seen {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    using Reaction = std::function<LRESULT(WPARAM, LPARAM)>;

    explicit RecordingWindow(bool autoDelete = false, int* deletions = nullptr)
            : NWindow(autoDelete), deletions(deletions)
    {
    }
    ~RecordingWindow() override
    {
        if (deletions)
            ++*deletions;
    }

    // A deleted object is scribbled over and never handed back to the heap,
    // so that a use after delete reads garbage (a non-null hwnd, a broken
    // vtable) every time, rather than old values or a new object.
    static void* operator new(std::size_t size)
    {
        if (void* p = std::malloc(size))
            return p;
        throw std::bad_alloc();
    }
    static void operator delete(void* p, std::size_t size) { std::memset(p, 0xA5, size); }

    void on(UINT message, Reaction reaction) { reactions[message] = std::move(reaction); }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back({message, wParam, lParam});
        auto it = reactions.find(message);
        if (it != reactions.end())
            return it->second(wParam, lParam);
        return NWindow::windowProc(message, wParam, lParam);
    }

    // Position of the first message of the kind, or -1.
    int indexOf(UINT message) const
    {
        for (std::size_t i = 0; i < seen.size(); ++i)
            if (seen[i].message == message)
                return static_cast<int>(i);
        return -1;
    }
    int count(UINT message) const
    {
        int n = 0;
        for (const Seen& s : seen)
            n += s.message == message;
        return n;
    }

    std::vector<Seen> seen;
    std::map<UINT, Reaction> reactions;
    int* deletions;
};

// Destroys a window left over by a test that failed half-way.
struct WindowGuard {
    HWND window;
    ~WindowGuard()
    {
        if (window && IsWindow(window))
            DestroyWindow(window);
    }
};

// Lets no modal loop hang the run: after the given time it records a
// failure and posts a quit, which every loop honours.
class LoopTimeout {
public:
    static constexpr int kExitCode = 0x7E57;

    explicit LoopTimeout(UINT milliseconds = 5000)
    {
        expired = false;
        timer = SetTimer(nullptr, 0, milliseconds, &LoopTimeout::fire);
    }
    ~LoopTimeout()
    {
        KillTimer(nullptr, timer);
        MSG msg;
        if (expired)
            while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
    }
    LoopTimeout(const LoopTimeout&) = delete;
    LoopTimeout& operator=(const LoopTimeout&) = delete;

private:
    static void CALLBACK fire(HWND, UINT, UINT_PTR, DWORD)
    {
        KillTimer(nullptr, timer);
        if (expired)
            return;
        expired = true;
        ADD_FAILURE() << "the message loop did not end in time";
        PostQuitMessage(kExitCode);
    }

    static inline UINT_PTR timer = 0;
    static inline bool expired = false;
};

inline std::string windowText(HWND window)
{
    char text[128] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

inline std::string className(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Takes a pending WM_QUIT off the queue; its exit code, or -1 when none.
inline int takeQuit()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return -1;
    return static_cast<int>(msg.wParam);
}

// Dispatches what is queued now, without waiting.
inline void pumpPending()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
