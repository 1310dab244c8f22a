#pragma once

#include <windows.h>

// Shows the wait cursor for the life of the scope and puts the previous
// cursor back, also when an exception passes.
class WaitCursorGuard {
public:
    WaitCursorGuard() : previous(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    ~WaitCursorGuard() { SetCursor(previous); }
    WaitCursorGuard(const WaitCursorGuard&) = delete;
    WaitCursorGuard& operator=(const WaitCursorGuard&) = delete;

private:
    HCURSOR previous;
};
