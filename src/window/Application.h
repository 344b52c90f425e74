// The application object. Its one addition to Qt's: the default error
// report. An exception that leaves any event handler is shown in a message
// box with its text and the program goes on; Qt never sees it.
#pragma once

#include <QApplication>

#include <exception>

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    ~TApplication() override;

    bool notify(QObject *receiver, QEvent *event) override;

    // Reports the exception in flight; call it from a catch block.
    static void HandleException();
    // The report of an error told in words: standard error keeps a copy,
    // and a message box shows it (unless quiet).
    static void ReportError(const QString &text);
    // Errors are shown and copied to standard error; while quiet, they go
    // to standard error only: the window is closing
    // and no one is there to read a message box.
    static void SetQuiet(bool quiet);
    static QString ExceptionText(std::exception_ptr error);
};

// A handler for Qt to call: an exception it raises goes to the default
// error report here, before it could unwind through Qt's own code.
template <typename Handler>
auto Guarded(Handler handler)
{
    return [handler](auto &&...) {
        try {
            handler();
        } catch (...) {
            TApplication::HandleException();
        }
    };
}
