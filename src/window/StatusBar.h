// A status bar of fixed-width text panels laid side by side from the left,
// as the window's status line needs them: other widgets can lie over a
// panel at a known position.
#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget *parent = nullptr);

    void AddPanel(int width, const QString &text = {});
    int PanelCount() const { return int(FWidths.size()); }
    QString PanelText(int index) const { return FTexts.at(index); }
    void SetPanelText(int index, const QString &text);
    // Left edge of a panel, in the bar's coordinates.
    int PanelLeft(int index) const;
    // A hint shown across the whole bar, over the panels and what lies on
    // them, until it is set back to "".
    void SetSimpleText(const QString &text);
    QString SimpleText() const { return FSimpleText; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<int> FWidths;
    QStringList FTexts;
    QString FSimpleText;
};
