#pragma once

#include "window/NWindow.h"

// A horizontal common-controls trackbar with ticks, bound to this object by
// subclassing; it reports movement to its parent with WM_HSCROLL. The common
// controls must have been initialised before the first one is created.
class TrackbarControl : public NWindow {
public:
    TrackbarControl() = default;
    ~TrackbarControl() override;

    // Returns whether the trackbar exists; ticks every 100 positions.
    bool create(HWND parent, int x, int y, int width, int height, int minimum, int maximum);
};
