#pragma once

#include "window/NWindow.h"

// A self-drawn button showing a colour as a swatch with a sunken edge.
// A click, or a key while it has the focus, opens the system colour chooser;
// a colour picked there is taken and announced to notifyTarget with
// WM_COMMAND / BN_CLICKED, as a push button does.
class ColorButton : public NWindow {
public:
    explicit ColorButton(COLORREF color = RGB(0, 0, 0));
    ~ColorButton() override;

    // Creates the button as a child of parent with the control id, and makes
    // parent its notification target. Returns whether the window exists.
    bool create(HWND parent, int id, int x, int y, int width, int height);

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Runs the colour chooser starting from color; true, with color
    // replaced, when the user picked one.
    static bool pickColor(HWND owner, COLORREF& color);
    void notifyParent();
    // Paints the button again now.
    void repaint();

    HWND notifyTarget = nullptr;
    COLORREF color;
    bool hasFocus = false;
    bool enabled = true;

    // The chooser's custom colours, shared by every colour button and kept
    // for the life of the process.
    static COLORREF customColors[16];

private:
    void pickAndNotify();
    void paint();
};
