#include "app/ViewerWindow.h"

#include <commctrl.h>
#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/)
{
    appInstance = instance;
    InitCommonControls();
    // Version 6 of the common controls registers only the classes asked for
    // here: the depth dialog's slider is one of the bar classes.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    timeBeginPeriod(1);
    {
        ViewerWindow viewer;
        viewer.createMainWindow(512, 512);
        viewer.runModal(false);
        timeEndPeriod(1);
    }
    return 0;
}
