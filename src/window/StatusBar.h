// A status bar of fixed-width text panels laid side by side from the left,
// as the window's status line needs them: other widgets can lie over a
// panel at a known position. Each panel is a label of its own, so screen
// readers find it by its name.
#pragma once

#include <QWidget>

#include <vector>

class QLabel;

// Sets a panel's text, and what screen readers read of it.
void SetPanelText(QLabel *panel, const QString &text);

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget *parent = nullptr);

    // `name` is what screen readers call the panel.
    void AddPanel(int width, const QString &text = {}, const QString &name = {});
    int PanelCount() const { return int(FPanels.size()); }
    QString PanelText(int index) const;
    void SetPanelText(int index, const QString &text);
    QLabel *Panel(int index) const { return FPanels.at(size_t(index)); }
    // Left edge of a panel, in the bar's coordinates.
    int PanelLeft(int index) const;
    // A hint shown across the whole bar, over the panels and what lies on
    // them, until it is set back to "".
    void SetSimpleText(const QString &text);
    QString SimpleText() const;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    std::vector<QLabel *> FPanels;
    std::vector<int> FWidths;
    QLabel *FSimple;
};
