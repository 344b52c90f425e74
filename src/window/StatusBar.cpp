#include "StatusBar.h"

#include <QLabel>

TStatusBar::TStatusBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(std::max(19, fontMetrics().height() + 6));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    FSimple = new QLabel(this);
    FSimple->setAccessibleName("Hint");
    FSimple->setAutoFillBackground(true);
    FSimple->setIndent(3);
    FSimple->hide();
}

void TStatusBar::AddPanel(int width, const QString &text, const QString &name)
{
    auto *panel = new QLabel(text, this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setIndent(2);
    panel->setAccessibleName(name);
    panel->setAccessibleDescription(text);
    panel->setGeometry(PanelLeft(PanelCount()), 0, width - 2, height());
    FPanels.push_back(panel);
    FWidths.push_back(width);
    FSimple->raise();
}

QString TStatusBar::PanelText(int index) const
{
    return FPanels.at(size_t(index))->text();
}

void SetPanelText(QLabel *panel, const QString &text)
{
    // The name says which panel it is; the description, read out with
    // it, what the panel shows now.
    panel->setText(text);
    panel->setAccessibleDescription(text);
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    ::SetPanelText(FPanels.at(size_t(index)), text);
}

int TStatusBar::PanelLeft(int index) const
{
    int left = 0;
    for (int i = 0; i < index; ++i)
        left += FWidths[size_t(i)];
    return left;
}

void TStatusBar::SetSimpleText(const QString &text)
{
    FSimple->setText(text);
    FSimple->setGeometry(rect());
    FSimple->setVisible(!text.isEmpty());
    FSimple->raise();
}

QString TStatusBar::SimpleText() const
{
    return FSimple->text();
}

QSize TStatusBar::sizeHint() const
{
    return {PanelLeft(PanelCount()), height()};
}

void TStatusBar::resizeEvent(QResizeEvent *)
{
    // The last panel takes what is left of the bar, so long texts there
    // (the IP watch's) are not cut while there is room.
    if (!FPanels.empty()) {
        const int last = PanelCount() - 1;
        const int left = PanelLeft(last);
        FPanels.back()->setGeometry(left, 0, std::max(FWidths.back(), width() - left) - 2, height());
    }
    if (FSimple->isVisible())
        FSimple->setGeometry(rect());
}
