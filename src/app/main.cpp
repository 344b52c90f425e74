// Program start: the command line (an address or site for a Veldra
// already running is handed to it), the application titled "Veldra" with
// its icon, the main window, the message loop until the main window closes.
#include "Application.h"
#include "CommandLine.h"
#include "ConnectionWorkflow.h"
#include "MainForm.h"
#include "QuitSignals.h"
#include "SingleInstance.h"
#include "SystemControlPack.h"
#include "UserDialogs.h"

#include <QIcon>
#include <QTimer>

namespace {

void OpenAtStart(TfrmMain &window, const CommandLine::TStart &start)
{
    // A question of the window's first steps (the import offered) is
    // answered first: the connection does not start under it.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(200, &window, Guarded([&window, start] { OpenAtStart(window, start); }));
        return;
    }
    if (start.Site.isEmpty()) {
        window.Connection().OpenAddress(start.Address);
        return;
    }
    const int site = window.Sites.IndexOfPath(start.Site);
    if (site < 0)
        UserDialogs().ShowError(&window, QStringLiteral("There is no saved site \"%1\".").arg(start.Site));
    else
        window.Connection().OpenSite(site, true);
}

}  // namespace

int main(int argc, char **argv)
{
    CommandLine::SetIdentity();
    CommandLine::AnswerWithoutDisplay(argc, argv);
    TApplication application(argc, argv);
    const CommandLine::TStart start = CommandLine::Check(application);
    // An address or site for a Veldra already running goes to it.
    if (SingleInstance::HandOver(start))
        return 0;
    // The desktop matches the window to its launcher and icon by this name.
    QGuiApplication::setDesktopFileName("org.tarnwick.Veldra");
    QApplication::setWindowIcon(QIcon(":/icons/org.tarnwick.Veldra.svg"));
    int status = 0;
    {
        TfrmMain frmMain;
        QuitSignals::CloseOnSignal(&frmMain);
        frmMain.show();
        SingleInstance::Listen(&frmMain, [&frmMain](const CommandLine::TStart &handed) {
            frmMain.showNormal();
            frmMain.raise();
            frmMain.activateWindow();
            QTimer::singleShot(0, &frmMain, Guarded([&frmMain, handed] { OpenAtStart(frmMain, handed); }));
        });
        // After the window's own first steps (an import offered).
        if (!start.Site.isEmpty() || !start.Address.isEmpty())
            QTimer::singleShot(0, &frmMain, Guarded([&frmMain, start] { OpenAtStart(frmMain, start); }));
        status = application.exec();
    }
    return CheckFolderDataFreed(status);
}
