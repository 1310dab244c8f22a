#include "app/FileDialogs.h"

#include "window/ChildControls.h"

#include <cderr.h>
#include <commdlg.h>

#include <cstring>
#include <vector>

namespace {

// Starts on the OBJ filter; remembered for the rest of the run.
DWORD meshFilterIndex = 2;

// Room for the chosen path at first: long paths are allowed, and a UTF-8
// character takes up to four bytes.
const DWORD kFirstBufferSize = 4096;

// One file dialog: filter pairs end with a second zero byte. filterIndex is
// updated with the filter the user ended with when the dialog succeeds.
std::string runFileDialog(HWND owner, const char* filter, DWORD& filterIndex, const char* title, DWORD flags, bool save)
{
    std::vector<char> path(kFirstBufferSize, '\0');
    for (;;) {
        OPENFILENAMEA ofn;
        std::memset(&ofn, 0, sizeof ofn);
        // The size without the fields later system versions added.
        ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
        ofn.hwndOwner = owner;
        ofn.hInstance = appInstance;
        ofn.lpstrFilter = filter;
        ofn.nFilterIndex = filterIndex;
        ofn.lpstrFile = path.data();
        ofn.nMaxFile = static_cast<DWORD>(path.size());
        ofn.lpstrTitle = title;
        ofn.Flags = flags;
        ofn.lpstrDefExt = "";
        if (save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn)) {
            filterIndex = ofn.nFilterIndex;
            return path.data();
        }
        if (CommDlgExtendedError() != FNERR_BUFFERTOOSMALL)
            return std::string();
        // The path chosen did not fit: its first two bytes now hold the size
        // it needs, and the user is asked again with room for it.
        WORD needed = 0;
        std::memcpy(&needed, path.data(), sizeof needed);
        if (needed <= path.size())
            return std::string();
        path.assign(needed + 1u, '\0');
    }
}

} // namespace

std::string chooseMeshFile(HWND owner)
{
    return runFileDialog(owner, "All Files (*.*)\0*.*\0Wavefront Obj (*.obj)\0*.obj\0", meshFilterIndex, "Open Mesh",
                         OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, false);
}

std::string chooseImageFile(HWND owner)
{
    DWORD filterIndex = 1;
    return runFileDialog(owner, "Bitmap files(*.bmp)\0*.bmp\0", filterIndex, "Save image as",
                         OFN_EXPLORER | OFN_OVERWRITEPROMPT, true);
}
