// The about-box component: carries the pictures to show and opens the about
// window, created on first use and reused afterwards.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>

class TfrmAbout;
class QWidget;

class TOrlaAboutBox : public QObject {
    Q_OBJECT
public:
    // The window is owned by `owner` (not by this component) and freed with it.
    explicit TOrlaAboutBox(QWidget *owner);

    QPixmap OkButtonImage;
    QPixmap AboutImage;
    bool StretchAboutPic = false;

    // Modal: returns when the window closes; otherwise returns at once.
    void Execute(bool modal);

    TfrmAbout *Window() const { return FWindow; }

private:
    QWidget *FOwner;
    QPointer<TfrmAbout> FWindow;
};
