#include "window/TrackbarControl.h"

#include <commctrl.h>

TrackbarControl::~TrackbarControl() = default;

bool TrackbarControl::create(HWND parent, int x, int y, int width, int height, int minimum, int maximum)
{
    const bool created = createControl("msctls_trackbar32", 0, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_AUTOTICKS,
                                       x, y, width, height, parent, nullptr);
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SendMessageA(hwnd, TBM_SETTICFREQ, 100, 0);
    SendMessageA(hwnd, TBM_SETRANGEMIN, FALSE, minimum);
    SendMessageA(hwnd, TBM_SETRANGEMAX, TRUE, maximum);
    return created;
}
