// The Transfer menu's speed limits, where users reach for them while a
// transfer runs: the limits on or off (the rates kept for the next time),
// and each direction's rate, asked for in KiB/s. The status bar says
// "(limited)" while they hold.
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;
class TTransferRunner;

class TSpeedLimitMenu : public QObject {
public:
    TSpeedLimitMenu(TTransferRunner &runner, QWidget *owner);

    QMenu *const Menu;
    QAction *const LimitsOn, *const DownloadRate, *const UploadRate;

private:
    // The menu shows the limits as they are now.
    void Show();
    void AskRate(bool download);

    TTransferRunner &FRunner;
    QWidget *FOwner;
};
