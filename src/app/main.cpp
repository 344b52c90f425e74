// Program start: the command line, the application titled "Veldra" with
// its icon, the main window, the message loop until the main window closes.
#include "Application.h"
#include "CommandLine.h"
#include "MainForm.h"
#include "QuitSignals.h"
#include "SystemControlPack.h"

#include <QIcon>

int main(int argc, char **argv)
{
    CommandLine::SetIdentity();
    CommandLine::AnswerWithoutDisplay(argc, argv);
    TApplication application(argc, argv);
    CommandLine::Check(application);
    // The desktop matches the window to its launcher and icon by this name.
    QGuiApplication::setDesktopFileName("org.tarnwick.Veldra");
    QApplication::setWindowIcon(QIcon(":/icons/org.tarnwick.Veldra.svg"));
    int status = 0;
    {
        TfrmMain frmMain;
        QuitSignals::CloseOnSignal(&frmMain);
        frmMain.show();
        status = application.exec();
    }
    return CheckFolderDataFreed(status);
}
