#include "Application.h"

#include "UserDialogs.h"

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

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

void TApplication::HandleException()
{
    const QString text = ExceptionText(std::current_exception());
    try {
        UserDialogs().ShowError(QApplication::activeWindow(), text);
    } catch (...) {
        // The report itself must never take the program down.
    }
}
