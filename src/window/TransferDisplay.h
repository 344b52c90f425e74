// The transfer room as the window shows it: its lines in the log, its
// progress in the status bar, its questions in dialogs over the window,
// and a remote folder it changed shown anew once the browsing connection
// is free.
#pragma once

#include "TransferNews.h"

#include <QObject>

class QLabel;
class QProgressBar;
class TRemoteView;
class TTransferPanel;
class TWindowServices;

class TTransferDisplay : public QObject, public TTransferNews {
public:
    struct TWidgets {
        QProgressBar *Progress;
        QLabel *SpeedPanel;
        QLabel *QueuePanel;
    };
    TTransferDisplay(TWindowServices &window, TRemoteView &remoteView, const TWidgets &widgets);

    void Log(const QString &line) override;
    void ShowProgress(int percent) override;
    void ShowSpeed(const QString &text) override;
    void ShowQueue(const QString &text) override;
    void SimultaneousChanged(int count) override;
    // The speed panel says that a limit is on, and which.
    void LimitsChanged(int download, int upload) override;
    void FolderChanged(const std::string &folder) override;
    void ReportFailures(const QString &text) override;
    bool Confirm(const QString &question) override;
    TOverwriteChoice AskOverwrite(const TOverwriteQuestion &question) override;

    // The page that shows how many run at once: made after the runner,
    // which it shows.
    void SetPanel(TTransferPanel *panel) { FPanel = panel; }

private:
    TWindowServices &FWindow;
    TRemoteView &FRemoteView;
    TWidgets W;
    TTransferPanel *FPanel = nullptr;
    void ShowSpeedPanel();
    QString FSpeed, FLimits;
    // A folder to show anew once the browsing connection is free.
    bool FRefreshPending = false;
    static constexpr int RetryInterval = 250;  // ms
};
