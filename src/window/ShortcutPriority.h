// The window's own shortcuts win over the key bindings of its text fields:
// a line edit takes Ctrl+U to clear itself and Ctrl+D to delete a
// character, so Upload and Download would never run while the focus is in
// the folder box. Keys without Ctrl (Del, Backspace) stay the field's.
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QWidget;

class TShortcutPriority : public QObject {
    Q_OBJECT
public:
    // Watches the application's key traffic for the widgets of `window`.
    TShortcutPriority(QWidget *window, QList<QAction *> actions);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *FWindow;
    QList<QAction *> FActions;
};
