#pragma once

#include "app/GLTexMan.h"
#include "app/MeshDisplayLists.h"
#include "camera/DragMode.h"
#include "camera/ViewCamera.h"
#include "dialogs/AnaglyphDepthDialog.h"
#include "gl/GLContext.h"
#include "window/ChildControls.h"
#include "window/NWindow.h"

#include <shellapi.h>

#include <string>

// Posted to the viewer after a frame drawn before the mesh's display lists
// were recorded.
constexpr UINT WM_RECORD_LISTS = WM_APP + 1;

class DibImage;
class Mesh;

// The 0-based index of the chosen item of a popup menu ("-" items are
// separators and take no index), or -1 when it was dismissed.
int runPopupMenu(const char* const* items, int x, int y, HWND owner);

// Writes the image as a 24-bit BMP file; false when it cannot, and then a
// file that was at path keeps its bytes.
bool saveImageFile(const DibImage& image, const char* path);

// The main window, and the application object that owns everything on show:
// the rendering context, the mesh, the view and the textures.
class ViewerWindow : public NWindow {
public:
    ViewerWindow();
    ~ViewerWindow() override;

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Creates the native window with the given client size; the first mesh is
    // opened while it is created.
    void createMainWindow(int clientWidth, int clientHeight);

    // Repaints the whole client area before returning.
    void redraw();

    // Replaces the mesh on show with the one read from path, or tells the
    // user that it cannot be loaded and keeps what is shown.
    void openMesh(const char* path);
    // When the start view does not show the mesh well (too small, too large
    // or off to one side), moves and scales its positions so that it does;
    // a mesh shown well stays as it is. Needs the viewport of the picture.
    void placeMeshForStartView();

    // One-time state of a new context, and the two kinds of frame. They need
    // the context current. A frame sends the mesh with drawMesh, or with
    // the painter given.
    using MeshPainter = void (ViewerWindow::*)();
    // Creates the window's rendering context (four samples wanted) and sets
    // its one-time state; leaves nothing current.
    void setUpContext();
    void initGLState();
    void setupLight();
    void renderPlain(MeshPainter paintMesh = &ViewerWindow::drawMesh);
    void renderAnaglyph(MeshPainter paintMesh = &ViewerWindow::drawMesh);
    // The frame of the current mode: anaglyph or plain.
    void renderFrame(MeshPainter paintMesh = &ViewerWindow::drawMesh);
    // What a paint message does: begin painting, the frame of the current
    // mode, end painting (the swap). Without a context the window is only
    // validated.
    void paintFrame(MeshPainter paintMesh = &ViewerWindow::drawMesh);
    // The mesh from meshLists: from client arrays until the lists are
    // recorded, which is done once the frame is drawn (WM_RECORD_LISTS).
    void drawMesh();
    // The same pixels with every triangle sent in its own glBegin/glEnd
    // pair; the reference that the lists are held to.
    void drawMeshImmediate();

    // Runs the popup menu at a client point and carries out the command.
    void showContextMenu(int x, int y);
    // The picture on show as a new 24-bit image; null when there is nothing
    // to capture (no window, an empty client area).
    DibImage* captureImage();
    // An image of the client area's size for a capture to fill; null when
    // there is no window, no context or an empty client area.
    DibImage* newCaptureImage() const;
    // Reads the back buffer of the current context into image, which has
    // the client area's size.
    static void readBackBuffer(const DibImage& image);

    GLContext context;
    Mesh* mesh = nullptr;
    ViewCamera camera;
    int dragMode = Rotate;
    bool anaglyphMode = false;
    int anaglyphDepth = 300;
    GLTexMan textures;
    // The mesh's triangles in the context; released with the textures.
    MeshDisplayLists meshLists;

    // What to show at start: the mesh named on the command line, or, without
    // one, what the user picks in the open-file dialog. Taken from the
    // process's arguments; tests may set them before creating the window.
    enum class StartMesh { FromDialog, FromPath, Nothing };
    StartMesh startMesh = StartMesh::FromDialog;
    std::string startMeshPath;

private:
    // Material state and texture per material, then its triangles: through
    // meshLists when fast, else a glBegin/glEnd pair a triangle.
    void drawMaterials(bool fast);
    // Records the lists of the mesh on show, unless that is done.
    void onRecordLists();

    void onCreate();
    void onDestroy();
    void onSize(int width, int height);
    void onPaint();
    void onMouse(UINT message, int x, int y);
    void onCaptureChanged(HWND newCapture);
    void onMouseWheel(int distance);
    void onDropFiles(HDROP drop);
};
