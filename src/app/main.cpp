// Program start: the application titled "Veldra", the main window, the
// message loop until the main window closes.
#include "Application.h"
#include "MainForm.h"
#include "SystemControlPack.h"

int main(int argc, char **argv)
{
    TApplication application(argc, argv);
    application.setApplicationName("Veldra");
    application.setOrganizationName("Tarnwick");
    int status = 0;
    {
        TfrmMain frmMain;
        frmMain.show();
        status = application.exec();
    }
    return CheckFolderDataFreed(status);
}
