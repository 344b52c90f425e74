#include "IdAntiFreeze.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

void TIdAntiFreeze::Pump()
{
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return;
    if (ApplicationHasPriority) {
        QCoreApplication::sendPostedEvents();
        // Bounded, so a handler that keeps posting cannot hold the network
        // call for ever.
        for (int pass = 0; pass < 64 && dispatcher->processEvents(QEventLoop::AllEvents); ++pass) {
        }
    } else {
        dispatcher->processEvents(QEventLoop::AllEvents);
    }
}
