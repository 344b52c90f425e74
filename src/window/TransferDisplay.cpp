#include "TransferDisplay.h"

#include "Application.h"
#include "RemoteView.h"
#include "StatusBar.h"
#include "TransferPanel.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>

TTransferDisplay::TTransferDisplay(TWindowServices &window, TRemoteView &remoteView, const TWidgets &widgets)
    : FWindow(window), FRemoteView(remoteView), W(widgets)
{
}

void TTransferDisplay::Log(const QString &line)
{
    FWindow.AddToLog(line);
}

void TTransferDisplay::ShowProgress(int percent)
{
    W.Progress->setValue(percent);
}

void TTransferDisplay::ShowSpeed(const QString &text)
{
    SetPanelText(W.SpeedPanel, text);
}

void TTransferDisplay::ShowQueue(const QString &text)
{
    SetPanelText(W.QueuePanel, text);
}

void TTransferDisplay::SimultaneousChanged(int count)
{
    if (FPanel)
        FPanel->ShowSimultaneous(count);
}

void TTransferDisplay::FolderChanged(const std::string &folder)
{
    if (folder != FRemoteView.ListedFolder())
        return;
    // The browsing connection may be in the middle of a command; then a
    // moment later it tries again.
    FRefreshPending = true;
    if (FRemoteView.RefreshIfFree())
        FRefreshPending = false;
    else
        QTimer::singleShot(RetryInterval, this, [this, folder] {
            if (FRefreshPending && folder == FRemoteView.ListedFolder() && FRemoteView.RefreshIfFree())
                FRefreshPending = false;
        });
}

void TTransferDisplay::ReportFailures(const QString &text)
{
    TApplication::ReportError(text);
}

bool TTransferDisplay::Confirm(const QString &question)
{
    return UserDialogs().Confirm(FWindow.DialogOwner(), question);
}

TOverwriteChoice TTransferDisplay::AskOverwrite(const TOverwriteQuestion &question)
{
    return UserDialogs().AskOverwrite(FWindow.DialogOwner(), question);
}
