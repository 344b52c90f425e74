#include "OrlaAboutBox.h"

#include "AboutForm.h"

#include <QLabel>
#include <QPushButton>

TOrlaAboutBox::TOrlaAboutBox(QWidget *owner) : QObject(owner), FOwner(owner) {}

void TOrlaAboutBox::Execute(bool modal)
{
    if (!FWindow)
        FWindow = new TfrmAbout(FOwner);
    FWindow->btnOk->setIcon(OkButtonImage);
    FWindow->imgAboutImage->setPixmap(AboutImage);
    FWindow->imgAboutImage->setScaledContents(StretchAboutPic);
    if (modal)
        FWindow->exec();
    else
        FWindow->show();
}
