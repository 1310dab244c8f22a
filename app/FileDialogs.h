#pragma once

#include <windows.h>

#include <string>

// The open-file dialog for meshes. Returns the chosen path, or an empty text
// when the user cancelled. The filter last used is offered again next time.
std::string chooseMeshFile(HWND owner);

// The save dialog for pictures; an empty text when cancelled.
std::string chooseImageFile(HWND owner);
