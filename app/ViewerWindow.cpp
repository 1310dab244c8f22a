#include "app/ViewerWindow.h"

#include "app/FileDialogs.h"
#include "app/WaitCursorGuard.h"
#include "mesh/Mesh.h"
#include "mesh/MeshPlacement.h"
#include "mesh/ObjReader.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char* const kTitle = "Corvasi - ver.0.10";

} // namespace

ViewerWindow::ViewerWindow() : NWindow(false)
{
    if (__argc > 1) {
        startMesh = StartMesh::FromPath;
        startMeshPath = __argv[1];
    }
}

ViewerWindow::~ViewerWindow()
{
    delete mesh;
    mesh = nullptr;
}

void ViewerWindow::createMainWindow(int clientWidth, int clientHeight)
{
    RECT rect = {0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    create(0, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left, rect.bottom - rect.top,
           nullptr, nullptr, nullptr);
}

void ViewerWindow::redraw()
{
    if (!hwnd)
        return;
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
}

void ViewerWindow::openMesh(const char* path)
{
    Mesh* loaded;
    {
        WaitCursorGuard waitCursor;
        loaded = loadObjMesh(path, kLoadScale, true);
    }
    if (!loaded) {
        char text[1024];
        std::snprintf(text, sizeof text, "Cannot load mesh : %s", path);
        MessageBoxA(hwnd, text, "Corvasi", MB_ICONERROR);
        return;
    }
    delete mesh;
    mesh = loaded;
    camera.reset();
    placeMeshForStartView();
    context.makeCurrent(nullptr);
    textures.clear();
    meshLists.release();
    context.releaseCurrent();
    redraw();
}

void ViewerWindow::placeMeshForStartView()
{
    if (!mesh)
        return;
    const Bounds box = facePositionBounds(*mesh);
    if (!box.empty() && !startViewShows(box, camera))
        placePositions(*mesh, startViewPlacement(box, camera));
}

LRESULT ViewerWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        onCreate();
        return 0;
    }
    case WM_DESTROY: {
        onDestroy();
        return 0;
    }
    case WM_SIZE: {
        onSize(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    }
    case WM_PAINT: {
        onPaint();
        return 0;
    }
    case WM_CLOSE: {
        DestroyWindow(hwnd);
        return 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
        onMouse(message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    }
    case WM_CAPTURECHANGED: {
        onCaptureChanged(reinterpret_cast<HWND>(lParam));
        return 0;
    }
    case WM_MOUSEWHEEL: {
        onMouseWheel(static_cast<short>(HIWORD(wParam)));
        return 0;
    }
    case WM_DROPFILES: {
        onDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    case WM_KEYUP: {
        if (wParam == VK_APPS)
            showContextMenu(0, 0);
        return 0;
    }
    case WM_RBUTTONDOWN: {
        showContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    }
    case WM_DEPTH_CHANGED: {
        redraw();
        return 0;
    }
    case WM_RECORD_LISTS: {
        onRecordLists();
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void ViewerWindow::onCreate()
{
    setUpContext();
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (startMesh == StartMesh::FromPath) {
        openMesh(startMeshPath.c_str());
    } else if (startMesh == StartMesh::FromDialog) {
        const std::string path = chooseMeshFile(hwnd);
        if (!path.empty())
            openMesh(path.c_str());
    }
    DragAcceptFiles(hwnd, TRUE);
}

void ViewerWindow::onDestroy()
{
    context.makeCurrent(nullptr);
    textures.clear();
    meshLists.release();
    context.releaseCurrent();
    context.destroy();
    delete mesh;
    mesh = nullptr;
    // The application is over with its window.
    PostQuitMessage(0);
}

void ViewerWindow::onSize(int width, int height)
{
    context.makeCurrent(nullptr);
    camera.setViewport(width, height);
    context.releaseCurrent();
    redraw();
}

void ViewerWindow::onRecordLists()
{
    if (!mesh || !meshLists.pending(*mesh))
        return;
    context.makeCurrent(nullptr);
    meshLists.prepare(*mesh);
    context.releaseCurrent();
}

void ViewerWindow::onPaint()
{
    paintFrame();
}

void ViewerWindow::onMouse(UINT message, int x, int y)
{
    if (dragMode == None)
        return;
    switch (message) {
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        camera.beginDrag(x, y, static_cast<DragMode>(dragMode));
        break;
    case WM_LBUTTONUP:
        camera.endDrag();
        ReleaseCapture();
        break;
    default:
        if (camera.drag(x, y))
            redraw();
        break;
    }
}

void ViewerWindow::onCaptureChanged(HWND newCapture)
{
    // The button-up of a drag whose capture was taken away (a menu, another
    // window, the system) goes elsewhere: the drag ends here, as at a release.
    if (newCapture != hwnd && camera.mode != None)
        camera.endDrag();
}

void ViewerWindow::onMouseWheel(int distance)
{
    camera.beginDrag(0, 0, Scale);
    camera.drag(0, -distance);
    camera.endDrag();
    redraw();
}

void ViewerWindow::onDropFiles(HDROP drop)
{
    if (DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        // The path's length first: it may be longer than MAX_PATH.
        std::vector<char> path(DragQueryFileA(drop, 0, nullptr, 0) + 1u, '\0');
        if (DragQueryFileA(drop, 0, path.data(), static_cast<UINT>(path.size())))
            openMesh(path.data());
    }
    DragFinish(drop);
}
