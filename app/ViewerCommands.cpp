// The popup menu with its commands, and the picture as an image.

#include "app/ViewerWindow.h"

#include "app/FileDialogs.h"
#include "dialogs/AnaglyphDepthDialog.h"
#include "image/DibImage.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Command indices count the items that are not separators.
const char* const kMenuItems[] = {
    "Translate(&T)", "Scale(&S)",  "Rotate(&R)",     "-",          "Reset View(&V)", "Anaglyph Mode(&N)",
    "Anaglyph Depth(&D)", "-",     "Open Mesh(&O)",  "Copy Image(&C)", "Save Image(&A)", "-",
    "Close(&O)",          nullptr,
};

enum Command {
    TranslateCommand,
    ScaleCommand,
    RotateCommand,
    ResetViewCommand,
    AnaglyphModeCommand,
    AnaglyphDepthCommand,
    OpenMeshCommand,
    CopyImageCommand,
    SaveImageCommand,
    CloseCommand,
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

int runPopupMenu(const char* const* items, int x, int y, HWND owner)
{
    POINT point = {x, y};
    ClientToScreen(owner, &point);
    HMENU outer = CreateMenu();
    HMENU popup = CreateMenu();
    UINT_PTR id = 0;
    for (const char* const* item = items; *item; ++item) {
        if (std::strcmp(*item, "-") == 0)
            AppendMenuA(popup, MF_SEPARATOR, 0, "");
        else
            AppendMenuA(popup, MF_STRING, ++id, *item);
    }
    AppendMenuA(outer, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), nullptr);
    const int chosen = TrackPopupMenu(popup, TPM_RETURNCMD, point.x, point.y, 0, owner, nullptr);
    // The popup belongs to the outer menu and goes with it.
    DestroyMenu(outer);
    return chosen > 0 ? chosen - 1 : -1;
}

bool saveImageFile(const DibImage& image, const char* path)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "wb"));
    if (!file)
        return false;
    const bool written = image.writeBmp(file.get());
    // A file that cannot be completed is not a saved picture.
    return std::fclose(file.release()) == 0 && written;
}

void ViewerWindow::showContextMenu(int x, int y)
{
    switch (runPopupMenu(kMenuItems, x, y, hwnd)) {
    case TranslateCommand:
        dragMode = Translate;
        break;
    case ScaleCommand:
        dragMode = Scale;
        break;
    case RotateCommand:
        dragMode = Rotate;
        break;
    case ResetViewCommand:
        camera.reset();
        redraw();
        break;
    case AnaglyphModeCommand:
        anaglyphMode = !anaglyphMode;
        redraw();
        break;
    case AnaglyphDepthCommand: {
        AnaglyphDepthDialog dialog;
        const int previous = anaglyphDepth;
        if (!dialog.doModal(hwnd, &anaglyphDepth))
            anaglyphDepth = previous;
        redraw();
        break;
    }
    case OpenMeshCommand: {
        const std::string path = chooseMeshFile(hwnd);
        if (!path.empty())
            openMesh(path.c_str());
        break;
    }
    case CopyImageCommand: {
        std::unique_ptr<DibImage> image(captureImage());
        if (image)
            image->copyToClipboard(hwnd);
        break;
    }
    case SaveImageCommand: {
        const std::string path = chooseImageFile(hwnd);
        if (path.empty())
            break;
        redraw();
        std::unique_ptr<DibImage> image(captureImage());
        if (image)
            saveImageFile(*image, path.c_str());
        break;
    }
    case CloseCommand:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

DibImage* ViewerWindow::captureImage()
{
    if (!hwnd)
        return nullptr;
    redraw();
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return nullptr;
    std::unique_ptr<DibImage> image(new DibImage);
    if (!image->create(width, height))
        return nullptr;

    // The picture is taken from the window itself, as shown.
    // NOTE: reading the frame back with glReadPixels does not give the picture
    // on show with a multisampled pixel format under Mesa: the swapped frame
    // is resolved from all samples, the read-back is not; and after the swap
    // neither buffer is required to hold the frame.
    HDC windowDC = GetDC(hwnd);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HGDIOBJ previous = SelectObject(memoryDC, image->bitmap);
    const BOOL copied = BitBlt(memoryDC, 0, 0, width, height, windowDC, 0, 0, SRCCOPY);
    GdiFlush();
    SelectObject(memoryDC, previous);
    DeleteDC(memoryDC);
    ReleaseDC(hwnd, windowDC);
    return copied ? image.release() : nullptr;
}
