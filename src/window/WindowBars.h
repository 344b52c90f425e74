// The window's tool bars: how a bar and its buttons are made, and the two
// rows of fields under the buttons (the connection bar, the folder box).
#pragma once

#include <QString>

class QAction;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QToolBar;
class QToolButton;

// `title` is what screen readers and the window's bar menu call it.
QToolBar *NewToolBar(QMainWindow *window, const QString &name, const QString &title);
// The action's button on `bar`, raised only under the mouse.
QToolButton *ButtonFor(QToolBar *bar, QAction *action);

struct TBarFields {
    QComboBox *Address;
    QLineEdit *UserName, *Password, *CurrentDir;
    QToolButton *ChangeFolder;
};
// The connection bar and the folder box, each on a row of its own.
TBarFields CreateFieldBars(QMainWindow &window);

class QProgressBar;
class TStatusBar;
// The status bar's panels: the connection, the progress (where the bar
// goes), the speed, the IP watch and the queue.
TStatusBar *NewStatusBar();
QProgressBar *NewProgressBar();
