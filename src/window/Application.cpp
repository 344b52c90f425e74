#include "Application.h"

#include "FailureText.h"
#include "IdMainThreadQueue.h"
#include "UserDialogs.h"

#include <QAccessibleObject>
#include <QMenu>

#include <cstdio>

namespace {

// The application as screen readers see it: Qt leaves pop-up menus out of
// its windows, so a context menu never showed on the accessibility bus.
// Open menus are listed after the windows, as other toolkits list them.
class TApplicationAccessible : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(OpenMenus().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows)
            return QAccessibleApplication::child(index);
        const QList<QWidget *> menus = OpenMenus();
        return index - windows < menus.size() ? QAccessible::queryAccessibleInterface(menus[index - windows]) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const int index = QAccessibleApplication::indexOfChild(child);
        if (index >= 0 || !child)
            return index;
        const int menu = int(OpenMenus().indexOf(qobject_cast<QWidget *>(child->object())));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + menu;
    }

private:
    static QList<QWidget *> OpenMenus()
    {
        QList<QWidget *> menus;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->isVisible() && qobject_cast<QMenu *>(widget))
                menus.append(widget);
        return menus;
    }
};

QAccessibleInterface *AccessibleFactory(const QString &className, QObject *object)
{
    if (object == qApp && className == QLatin1String("TApplication"))
        return new TApplicationAccessible;
    return nullptr;
}

}  // namespace

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    QAccessible::installFactory(AccessibleFactory);
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
    ReportError(ExceptionText(std::current_exception()));
}

void TApplication::ReportError(const QString &text)
{
    // Standard error keeps a copy for the session's journal.
    std::fprintf(stderr, "veldra: %s\n", qPrintable(text));
    if (Quiet)
        return;
    try {
        UserDialogs().ShowError(QApplication::activeWindow(), text);
    } catch (...) {
        // The report itself must never take the program down.
    }
}
