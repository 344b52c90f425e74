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
    FSpeed = text;
    ShowSpeedPanel();
}

void TTransferDisplay::LimitsChanged(int download, int upload)
{
    const auto limit = [](int kib) { return kib > 0 ? QStringLiteral("%1 KiB/s").arg(kib) : QStringLiteral("none"); };
    FLimits = download > 0 || upload > 0
                  ? QStringLiteral("Limit %1 down, %2 up").arg(limit(download), limit(upload))
                  : QString();
    ShowSpeedPanel();
}

void TTransferDisplay::ShowSpeedPanel()
{
    // The speed while transfers run, the limit while none does; the
    // tooltip always names the limit.
    const QString text = FSpeed.isEmpty() || FLimits.isEmpty() ? FSpeed.isEmpty() ? FLimits : FSpeed
                                                                : FSpeed + QStringLiteral(" (limited)");
    SetPanelText(W.SpeedPanel, text);
    W.SpeedPanel->setToolTip(FLimits);
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
