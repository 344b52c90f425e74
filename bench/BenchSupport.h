// What the benchmarks share: the process's CPU time, and for the window's
// benches an offscreen application whose settings stay apart from the
// user's, and a connection bar filled in.
#pragma once

#include <sys/resource.h>

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

#include <QComboBox>
#include <QLineEdit>

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

inline void FillConnectionBar(TfrmMain &form, const char *port, const QString &user, const QString &password)
{
    form.cbAddress->setEditText(QString("127.0.0.1:%1").arg(port));
    form.edUserName->setText(user);
    form.edPassword->setText(password);
}
#endif
