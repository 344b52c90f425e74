#include "SpeedLimitMenu.h"

#include "Application.h"
#include "TransferRunner.h"
#include "UserDialogs.h"

#include <QAction>
#include <QMenu>

namespace {

QString RateName(int kib)
{
    return kib > 0 ? QStringLiteral("%1 KiB/s").arg(kib) : QStringLiteral("none");
}

}  // namespace

TSpeedLimitMenu::TSpeedLimitMenu(TTransferRunner &runner, QWidget *owner)
    : QObject(owner), Menu(new QMenu("&Speed Limits", owner)), LimitsOn(new QAction("&Limit Speed", this)),
      DownloadRate(new QAction(this)), UploadRate(new QAction(this)), FRunner(runner), FOwner(owner)
{
    Menu->setObjectName("mnSpeedLimits");
    LimitsOn->setObjectName("actLimitSpeed");
    LimitsOn->setCheckable(true);
    LimitsOn->setStatusTip("Hold the transfers to the rates below; off, they go as fast as they can.");
    DownloadRate->setObjectName("actDownloadLimit");
    DownloadRate->setStatusTip("The most all downloads together may take, in KiB/s; 0 for no limit.");
    UploadRate->setObjectName("actUploadLimit");
    UploadRate->setStatusTip("The most all uploads together may take, in KiB/s; 0 for no limit.");
    Menu->addActions({LimitsOn, DownloadRate, UploadRate});
    connect(Menu, &QMenu::aboutToShow, this, [this] { Show(); });
    connect(LimitsOn, &QAction::triggered, this, Guarded([this] {
        TTransferRunner::TOptions options = FRunner.Options();
        options.LimitsOn = LimitsOn->isChecked();
        FRunner.SetOptions(options);
    }));
    connect(DownloadRate, &QAction::triggered, this, Guarded([this] { AskRate(true); }));
    connect(UploadRate, &QAction::triggered, this, Guarded([this] { AskRate(false); }));
    Show();
}

void TSpeedLimitMenu::Show()
{
    const TTransferRunner::TOptions &options = FRunner.Options();
    LimitsOn->setChecked(options.LimitsOn);
    DownloadRate->setText(QStringLiteral("&Download Limit (%1)...").arg(RateName(options.DownloadLimit)));
    UploadRate->setText(QStringLiteral("&Upload Limit (%1)...").arg(RateName(options.UploadLimit)));
}

void TSpeedLimitMenu::AskRate(bool download)
{
    TTransferRunner::TOptions options = FRunner.Options();
    int &rate = download ? options.DownloadLimit : options.UploadLimit;
    QString value = QString::number(rate);
    const QString direction = download ? QStringLiteral("downloads") : QStringLiteral("uploads");
    for (;;) {
        if (!UserDialogs().InputQuery(FOwner, download ? "Download Limit" : "Upload Limit",
                                      "KiB/s for all " + direction + " together (0 for no limit):", value))
            return;
        bool number = false;
        const int asked = value.trimmed().toInt(&number);
        if (number && asked >= 0) {
            rate = asked;
            break;
        }
        UserDialogs().ShowMessage(FOwner, QStringLiteral("\"%1\" is no rate: give a whole number of KiB/s.").arg(value));
    }
    // A rate given is a rate meant: the limits hold from now on.
    options.LimitsOn = true;
    FRunner.SetOptions(options);
    Show();
}
