#include "app/ViewerWindow.h"

#include <commctrl.h>
#include <mmsystem.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/)
{
    appInstance = instance;
    InitCommonControls();
    timeBeginPeriod(1);
    {
        ViewerWindow viewer;
        viewer.createMainWindow(512, 512);
        viewer.runModal(false);
        timeEndPeriod(1);
    }
    return 0;
}
