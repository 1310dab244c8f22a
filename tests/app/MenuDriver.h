#pragma once

// Drives the viewer's popup menu from a second thread as a keyboard user
// would: waits for the menu to come up, notes where it is, then sends keys
// into the menu's loop.

#include "tests/support/Wait.h"

#include <windows.h>

#include <atomic>
#include <vector>

// Command positions among the viewer's menu items (separators take none).
enum MenuCommand {
    TranslateItem,
    ScaleItem,
    RotateItem,
    ResetViewItem,
    AnaglyphModeItem,
    AnaglyphDepthItem,
    OpenMeshItem,
    CopyImageItem,
    SaveImageItem,
    CloseItem
};

// Posts each key's down and up to the window, a moment apart, as typed.
inline void postKeys(HWND window, const std::vector<WPARAM>& keys)
{
    for (WPARAM key : keys) {
        PostMessageA(window, WM_KEYDOWN, key, 1);
        PostMessageA(window, WM_KEYUP, key, 0xC0000001);
        Sleep(30);
    }
}

class MenuDriver {
public:
    // keys: virtual-key codes posted in order once the menu is visible.
    MenuDriver(HWND owner, std::vector<WPARAM> keys)
            : driver(
                  "popup menu", [] { return findShownWindow("#32768", nullptr); },
                  [this, owner, keys](HWND menu) { run(owner, menu, keys); })
    {
    }

    // Down n times (to the n-th command, counting from 1) and Enter.
    static std::vector<WPARAM> choose(int command)
    {
        std::vector<WPARAM> keys(static_cast<std::size_t>(command) + 1, VK_DOWN);
        keys.push_back(VK_RETURN);
        return keys;
    }

    std::atomic<bool> appeared{false};
    RECT where = {};

private:
    void run(HWND owner, HWND menu, const std::vector<WPARAM>& keys)
    {
        GetWindowRect(menu, &where);
        appeared = true;
        postKeys(owner, keys);
    }

    ModalDriver driver;
};
