#include "OrlaAboutBox.h"

#include "AboutForm.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TOrlaAboutBox::TOrlaAboutBox(QWidget *owner) : QObject(owner), FOwner(owner) {}

void TOrlaAboutBox::Execute(bool modal)
{
    if (!FWindow)
        FWindow = new TfrmAbout(FOwner);
    FWindow->btnOk->setIcon(OkButtonImage);
    FWindow->imgAboutImage->setPixmap(AboutImage);
    FWindow->imgAboutImage->setScaledContents(StretchAboutPic);
    // Centred on the desktop, not on the window that owns it.
    QScreen *screen = FOwner && FOwner->screen() ? FOwner->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect desktop = screen->availableGeometry();
        FWindow->move(desktop.center() - QPoint(FWindow->width() / 2, FWindow->height() / 2));
    }
    if (modal)
        FWindow->exec();
    else
        FWindow->show();
}
