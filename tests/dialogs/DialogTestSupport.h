#pragma once

// Scaffolding for driving modal windows from inside their own loops: the
// test starts the loop, and steps run on a thread timer, which every loop
// dispatches (the framework's runModal and the system's dialog loops alike).
// Timer messages come only once the queue is otherwise empty, so what a
// step posts or injects has been handled when the next step runs.

#include "tests/support/Wait.h"
#include "tests/window/RecordingWindow.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The common controls are initialised at start-up in the program, too.
class CommonControlsEnvironment : public testing::Environment {
public:
    void SetUp() override { InitCommonControls(); }
};

inline RECT screenRect(HWND window)
{
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

inline POINT centerOf(const RECT& r)
{
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Test steps, each called on every tick until it returns true; then the
// next one. A step that starts a loop of its own is not entered again.
class Script {
public:
    using Step = std::function<bool()>;

    explicit Script(std::vector<Step> steps, UINT intervalMs = 30) : steps(std::move(steps))
    {
        current = this;
        timer = SetTimer(nullptr, 0, intervalMs, &Script::tick);
    }
    ~Script()
    {
        KillTimer(nullptr, timer);
        current = nullptr;
    }
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    bool finished() const { return next == steps.size(); }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
    {
        Script* s = current;
        if (!s || s->running || s->finished())
            return;
        s->running = true;
        if (s->steps[s->next]())
            ++s->next;
        s->running = false;
    }

    std::vector<Step> steps;
    std::size_t next = 0;
    bool running = false;
    UINT_PTR timer = 0;
    static inline Script* current = nullptr;
};

// Mouse input through the system's input queue, as a user's would come:
// hit-tested, captured and activated by the system. Screen coordinates.
inline void injectMouse(DWORD flags, POINT at)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Absolute positions are in 1/65536 of the screen; rounded up so that
    // they map back onto the pixel meant.
    input.mi.dx = (at.x * 65536 + width - 1) / width;
    input.mi.dy = (at.y * 65536 + height - 1) / height;
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

inline void mouseMove(POINT at)
{
    injectMouse(0, at);
}

inline void mouseDown(POINT at)
{
    injectMouse(MOUSEEVENTF_LEFTDOWN, at);
}

inline void mouseUp(POINT at)
{
    injectMouse(MOUSEEVENTF_LEFTUP, at);
}

// A key pressed on a window: posted, as the system queues key strokes.
inline void postKey(HWND window, WPARAM key, int repeats = 1)
{
    for (int i = 0; i < repeats; ++i) {
        // Bit 30: the key was down before, as for auto-repeat.
        const LPARAM previous = i > 0 ? (1 << 30) : 0;
        PostMessageA(window, WM_KEYDOWN, key, 1 | previous);
    }
    PostMessageA(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

inline void postKeyDown(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 1);
}
