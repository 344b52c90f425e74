#include "ShortcutPriority.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

TShortcutPriority::TShortcutPriority(QWidget *window, QList<QAction *> actions)
    : QObject(window), FWindow(window), FActions(std::move(actions))
{
    qApp->installEventFilter(this);
}

bool TShortcutPriority::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
        return false;
    const auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != FWindow)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!(key->modifiers() & Qt::ControlModifier))
        return false;
    const QKeySequence pressed(key->keyCombination());
    for (const QAction *action : FActions) {
        if (action->isEnabled() && action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            // Not taken by the field: the shortcut map runs the action.
            event->ignore();
            return true;
        }
    }
    return false;
}
