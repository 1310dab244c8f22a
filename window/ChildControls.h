#pragma once

#include <windows.h>

// The instance handle the program was started with; set by the start-up code
// before any window exists. Child controls and file dialogs are created with it.
extern HINSTANCE appInstance;

// Standard child controls in one call each, with the program's fixed styles
// and the default GUI font. Positions are client coordinates of the parent.
// Each returns the new control, or null when it could not be created.

HWND createPushButton(HWND parent, const char* text, int x, int y, int width, int height, int id);
HWND createCheckBox(HWND parent, const char* text, int x, int y, int width, int height, int id);
// style: static-control bits added to WS_CHILD | WS_VISIBLE (SS_RIGHT, ...).
HWND createLabel(HWND parent, const char* text, int x, int y, int width, int height, DWORD style);
HWND createGroupBox(HWND parent, const char* text, int x, int y, int width, int height, bool tabStop);
HWND createEditBox(HWND parent, const char* text, int x, int y, int width, int height, bool readOnly);
