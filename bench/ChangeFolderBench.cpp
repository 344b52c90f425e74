// ChangeFolder of the real window, offscreen, on a large folder: the
// listing fetched, parsed and both views filled. Prints seconds and the
// program's peak memory; asserts nothing.
// Usage: bench_changefolder PORT USER PASSWORD FOLDER
#include "Application.h"
#include "MainForm.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_changefolder PORT USER PASSWORD FOLDER\n");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication application(argc, argv);
    application.setOrganizationName("Tarnwick");
    application.setApplicationName("Veldra bench");  // keeps the real settings apart
    TfrmMain form;
    form.show();
    form.cbAddress->setEditText(QString("127.0.0.1:%1").arg(argv[1]));
    form.edUserName->setText(argv[2]);
    form.edPassword->setText(argv[3]);
    form.actConnect->trigger();
    if (!form.FTP.Connected()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    form.ChangeFolder(argv[4]);
    QCoreApplication::processEvents();  // let the views lay themselves out
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("veldra ChangeFolder %zu lines: %.2f s, peak memory %.0f MB (whole program)\n",
                form.lbDirectory.size(), seconds, double(usage.ru_maxrss) / 1024.0);
    form.actConnect->trigger();
    return 0;
}
