#include "Application.h"

#include "FailureText.h"
#include "IdMainThreadQueue.h"
#include "UserDialogs.h"

#include <cstdio>

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    // Worker threads queue their main-thread calls; run them on this thread.
    IdMainThreadQueue::SetWakeUp([this] {
        QMetaObject::invokeMethod(this, [] { IdMainThreadQueue::Drain(); }, Qt::QueuedConnection);
    });
}

TApplication::~TApplication()
{
    IdMainThreadQueue::SetWakeUp(nullptr);
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException();
        return false;
    }
}

QString TApplication::ExceptionText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error.");
    }
}

namespace {
bool Quiet = false;
}

void TApplication::SetQuiet(bool quiet)
{
    Quiet = quiet;
}

void TApplication::HandleException()
{
    // Told already, or the user's own doing.
    try {
        std::rethrow_exception(std::current_exception());
    } catch (const EAbort &) {
        return;
    } catch (...) {
    }
    const QString text = ExceptionText(std::current_exception());
    if (Quiet) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    try {
        UserDialogs().ShowError(QApplication::activeWindow(), text);
    } catch (...) {
        // The report itself must never take the program down.
    }
}
