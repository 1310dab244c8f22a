// The popup menu with its commands, and the picture as an image.

#include "app/ViewerWindow.h"

#include "app/FileDialogs.h"
#include "dialogs/AnaglyphDepthDialog.h"
#include "gl/GLErrors.h"
#include "image/DibImage.h"
#include "platform/AtomicFile.h"

#include <GL/glext.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// Command indices count the items that are not separators.
const char* const kMenuItems[] = {
    "Translate(&T)",      "Scale(&S)",
    "Rotate(&R)",         "-",
    "Reset View(&V)",     "Anaglyph Mode(&N)",
    "Anaglyph Depth(&D)", "-",
    "Open Mesh(&O)",      "Copy Image(&C)",
    "Save Image(&A)",     "-",
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

// The depth dialog; Cancel puts the old depth back.
void chooseAnaglyphDepth(ViewerWindow& viewer)
{
    AnaglyphDepthDialog dialog;
    const int previous = viewer.anaglyphDepth;
    if (!dialog.doModal(viewer.hwnd, &viewer.anaglyphDepth))
        viewer.anaglyphDepth = previous;
    viewer.redraw();
}

// A failure the user has to know of, in a box owned by the viewer.
void reportFailure(const ViewerWindow& viewer, const char* text)
{
    MessageBoxA(viewer.hwnd, text, "Corvasi", MB_ICONERROR);
}

// The picture on the clipboard.
void copyImage(ViewerWindow& viewer)
{
    std::unique_ptr<DibImage> image(viewer.captureImage());
    if (image && !image->copyToClipboard(viewer.hwnd))
        reportFailure(viewer, "Cannot copy image to the clipboard");
}

// The picture as a BMP file at the path the user chooses.
void saveImage(ViewerWindow& viewer)
{
    const std::string path = chooseImageFile(viewer.hwnd);
    if (path.empty())
        return;
    viewer.redraw();
    std::unique_ptr<DibImage> image(viewer.captureImage());
    if (image && !saveImageFile(*image, path.c_str())) {
        char text[1024];
        std::snprintf(text, sizeof text, "Cannot save image : %s", path.c_str());
        reportFailure(viewer, text);
    }
}

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
    return rt::writeFileAtomically(path, [&image](std::FILE* stream) { return image.writeBmp(stream); });
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
    case AnaglyphDepthCommand:
        chooseAnaglyphDepth(*this);
        break;
    case OpenMeshCommand: {
        const std::string path = chooseMeshFile(hwnd);
        if (!path.empty())
            openMesh(path.c_str());
        break;
    }
    case CopyImageCommand:
        copyImage(*this);
        break;
    case SaveImageCommand:
        saveImage(*this);
        break;
    case CloseCommand:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

DibImage* ViewerWindow::newCaptureImage() const
{
    if (!hwnd || !context.renderingContext)
        return nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return nullptr;
    std::unique_ptr<DibImage> image(new (std::nothrow) DibImage);
    if (!image || !image->create(width, height))
        return nullptr;
    return image.release();
}

void ViewerWindow::readBackBuffer(const DibImage& image)
{
    glReadBuffer(GL_BACK);
    // Read as blue, green, red rows padded to 4 bytes: the DIB's own layout.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, image.width, image.height, GL_BGR_EXT, GL_UNSIGNED_BYTE, image.bits);
}

DibImage* ViewerWindow::captureImage()
{
    std::unique_ptr<DibImage> image(newCaptureImage());
    if (!image)
        return nullptr;

    // The frame is drawn once more into the back buffer and read from there
    // before any swap. The back buffer holds the whole picture, where the
    // screen and the front buffer lack whatever covers the window or lies
    // off the screen, and hold nothing dependable after a swap.
    context.makeCurrent(nullptr);
    glDrawBuffer(GL_BACK);
    renderFrame();
    // Only the read-back decides: a value the driver refuses while drawing
    // (a shininess above 128) leaves the picture as the screen shows it.
    takeGLErrors();
    readBackBuffer(*image);
    const bool read = !takeGLErrors();
    context.releaseCurrent();
    return read ? image.release() : nullptr;
}
