#pragma once

#include "window/NWindow.h"
#include "window/TrackbarControl.h"

// Sent to the owner of the depth dialog each time a movement of its slider
// ends, right after the new depth has been stored; wParam and lParam are 0.
constexpr UINT WM_DEPTH_CHANGED = WM_USER + 252;

// The modal "Anaglyph Depth" window. Its slider edits the caller's depth, in
// tenths of a percent from 0 to 1000, in place while the window is open, so
// that the owner can follow it; the caller puts the old value back when
// doModal returns false.
class AnaglyphDepthDialog : public NWindow {
public:
    AnaglyphDepthDialog() = default;
    ~AnaglyphDepthDialog() override;

    // Shows the dialog centred on the owner's root window (the desktop for
    // none) and returns true for OK or Enter, which store the slider's
    // position whatever moved it last, and false for Cancel, Escape, the
    // close box, or when there is no depth to edit or the dialog is open.
    bool doModal(HWND owner, int* depth);

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    TrackbarControl trackbar;
    HWND valueLabel = nullptr;     // right of the slider, shows the depth as a percentage
    HWND owner = nullptr;          // gets WM_DEPTH_CHANGED
    int* depth = nullptr;          // the caller's variable, not owned
    bool moved = false;            // the slider moved since the depth was last stored
    HWND focusedControl = nullptr; // had the focus when the dialog was last deactivated

private:
    void onCreate();
    void onActivate(int state, bool minimized);
    void onCommand(int id);
    void onSliderScroll(int code);
    int position() const;
    void showValue();
};
