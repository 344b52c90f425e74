// The window's menu bar and its keyboard helpers: every action under the
// heading users look in, its key beside it; a context menu for the focused
// view by Shift+F10 or the Menu key; and a small menu that offers files or
// a folder where one key must do both.
#pragma once

#include <QList>
#include <QString>

#include <utility>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QWidget;

// Headings with their actions in order; a null action is a separator, and
// an action with a menu shows as a sub-menu.
using TMenuHeadings = std::vector<std::pair<QString, QList<QAction *>>>;
void BuildMenuBar(QMainWindow &window, const TMenuHeadings &headings);

// The focused widget's context menu, as a right click at its current item
// (or its middle) would open it.
void OpenContextMenuOfFocus();

// Pops `menu` up under `anchor` (or the focused widget), its first item
// active, for the arrow keys and Enter.
void PopUpAt(QMenu *menu, QWidget *anchor);
