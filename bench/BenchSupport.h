// What the benchmarks share: the process's CPU time, and for the window's
// benches an offscreen application whose settings stay apart from the
// user's, connected through its connection bar.
#pragma once

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

inline double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

#ifdef VELDRA_WINDOW_BENCH
#include "Application.h"
#include "MainForm.h"
#include "TransferRunner.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <string_view>

class TBenchApplication : public TApplication {
public:
    TBenchApplication(int &argc, char **argv) : TApplication(Offscreen(argc), argv)
    {
        setOrganizationName("Tarnwick");
        setApplicationName("Veldra bench");
    }

private:
    static int &Offscreen(int &argc)
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return argc;
    }
};

// The longest time between two turns of a 10 ms timer.
class TLoopWatch {
public:
    TLoopWatch()
    {
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            FLongest = std::max(FLongest, FSince.restart());
        });
    }
    void Start()
    {
        FLongest = 0;
        FSince.start();
        FTimer.start();
    }
    qint64 Stop()
    {
        FTimer.stop();
        return std::max(FLongest, FSince.elapsed());
    }

private:
    QTimer FTimer;
    QElapsedTimer FSince;
    qint64 FLongest = 0;
};

// Connects through the connection bar, as the user does; false (and a
// message) when that fails.
// `server` is a port on loopback (FTP), or a whole address
// ("sftp://user@127.0.0.1:2222", which logs in with the user's keys).
inline bool ConnectForm(TfrmMain &form, const char *server, const QString &user, const QString &password)
{
    const QString address = QString(server);
    const bool whole = address.contains("://");
    form.findChild<QComboBox *>("cbAddress")->setEditText(whole ? address : QString("127.0.0.1:%1").arg(server));
    form.findChild<QLineEdit *>("edUserName")->setText(user);
    form.findChild<QLineEdit *>("edPassword")->setText(whole ? QString() : password);
    // VELDRA_BENCH_MODE=passive or active: the Server menu's switch, set as
    // the user sets it; unset, the settings' choice stands.
    if (const char *mode = std::getenv("VELDRA_BENCH_MODE"))
        form.findChild<QAction *>("PassiveMode1")->setChecked(std::string_view(mode) == "passive");
    form.findChild<QAction *>("actConnect")->trigger();
    if (!form.Online())
        std::fprintf(stderr, "could not connect\n");
    return form.Online();
}

// Turns the event loop until the transfer queue has nothing queued or
// running, looking in every `interval` ms (and calling `look` then).
inline void WaitForQueue(TfrmMain &form, int interval, const std::function<void()> &look = {})
{
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (look)
            look();
        if (!form.Runner().Active())
            wait.quit();
    });
    poll.start(interval);
    wait.exec();
}
#endif
