#include "WindowMenu.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

void BuildMenuBar(QMainWindow &window, const TMenuHeadings &headings)
{
    QMenuBar *bar = window.menuBar();
    bar->setObjectName("mbMain");
    for (const auto &[title, actions] : headings) {
        QMenu *menu = bar->addMenu(title);
        menu->setObjectName("mn" + QString(title).remove('&'));
        for (QAction *action : actions) {
            if (!action)
                menu->addSeparator();
            else
                menu->addAction(action);
        }
    }
}

void OpenContextMenuOfFocus()
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return;
    QWidget *target = focus;
    QPoint at = focus->rect().center();
    // A view's menu comes at its current item, from its viewport, as a
    // click there would bring it.
    if (auto *view = qobject_cast<QAbstractItemView *>(focus)) {
        target = view->viewport();
        const QRect item = view->visualRect(view->currentIndex());
        at = item.isValid() ? item.center() : target->rect().center();
    }
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
}

void PopUpAt(QMenu *menu, QWidget *anchor)
{
    QWidget *under = anchor && anchor->isVisible() ? anchor : QApplication::focusWidget();
    const QPoint at = under ? under->mapToGlobal(QPoint(0, under->height())) : QPoint();
    if (!menu->actions().isEmpty())
        menu->setActiveAction(menu->actions().front());
    menu->popup(at);
}
