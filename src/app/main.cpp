// Program start: the application titled "Veldra", the main window, the
// message loop until the main window closes.
#include "Application.h"
#include "MainForm.h"

int main(int argc, char **argv)
{
    TApplication application(argc, argv);
    application.setApplicationName("Veldra");
    application.setOrganizationName("Tarnwick");
    TfrmMain frmMain;
    frmMain.show();
    return application.exec();
}
