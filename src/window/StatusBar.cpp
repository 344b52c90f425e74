#include "StatusBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

TStatusBar::TStatusBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(19);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TStatusBar::AddPanel(int width, const QString &text)
{
    FWidths.push_back(width);
    FTexts.append(text);
    update();
}

void TStatusBar::SetPanelText(int index, const QString &text)
{
    FTexts[index] = text;
    update();
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
    FSimpleText = text;
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        child->setVisible(text.isEmpty());
    update();
}

QSize TStatusBar::sizeHint() const
{
    return {PanelLeft(PanelCount()), 19};
}

void TStatusBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!FSimpleText.isEmpty()) {
        painter.drawText(rect().adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, FSimpleText);
        return;
    }
    for (int i = 0; i < PanelCount(); ++i) {
        const QRect panel(PanelLeft(i), 0, FWidths[size_t(i)] - 2, height());
        QStyleOptionFrame frame;
        frame.initFrom(this);
        frame.rect = panel;
        frame.lineWidth = 1;
        frame.state |= QStyle::State_Sunken;
        style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
        painter.drawText(panel.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, FTexts[i]);
    }
}
