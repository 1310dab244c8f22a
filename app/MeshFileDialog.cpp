#include "app/MeshFileDialog.h"

#include "app/ViewerWindow.h"

#include <commdlg.h>

#include <cstring>

namespace {

// Starts on the OBJ filter; remembered for the rest of the run.
DWORD meshFilterIndex = 2;

} // namespace

std::string chooseMeshFile(HWND owner)
{
    char path[MAX_PATH] = "";
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    // The size without the fields later system versions added.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.hInstance = appInstance;
    ofn.lpstrFilter = "All Files (*.*)\0*.*\0Wavefront Obj (*.obj)\0*.obj\0";
    ofn.nFilterIndex = meshFilterIndex;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = "Open Mesh";
    ofn.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    ofn.lpstrDefExt = "";
    if (!GetOpenFileNameA(&ofn))
        return std::string();
    meshFilterIndex = ofn.nFilterIndex;
    return path;
}
