#include "QuitSignals.h"

#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace QuitSignals {

namespace {

// A signal handler may only write to a pipe; the event loop reads it.
int WakePipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(WakePipe[1], &byte, 1);
}

}  // namespace

void CloseOnSignal(QWidget *window)
{
    if (::pipe2(WakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // no pipe: the signals keep their default action
    auto *notifier = new QSocketNotifier(WakePipe[0], QSocketNotifier::Read, window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
        char bytes[16];
        while (::read(WakePipe[0], bytes, sizeof bytes) > 0) {
        }
        window->close();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

}  // namespace QuitSignals
