// Download and upload of one file through the window's own path, offscreen:
// DownloadFile and UploadPath queue the file, and the transfer queue moves
// it on its own connection while the window shows the progress. Prints
// MB/s, CPU seconds (every thread of the process) and the longest pause of
// the window's event loop (a 10 ms timer that counts its own lateness).
// With a BROWSE-FOLDER, the download also times a visit to that folder and
// back while it runs, as a user browses. Asserts nothing.
// Usage: bench_window_transfer PORT|ADDRESS REMOTE-FILE UPLOAD-FOLDER LOCAL-FILE [BROWSE-FOLDER]
#include "BenchSupport.h"
#include "RemoteView.h"
#include "TransferRunner.h"
#include "Transfers.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Queues the work and turns the event loop until the queue is empty.
template <typename Work>
void Measure(TfrmMain &form, const char *what, const std::string &file, Work work)
{
    TLoopWatch loop;
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    loop.Start();
    work();
    WaitForQueue(form, 5);
    const qint64 pause = loop.Stop();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::error_code error;
    const auto bytes = std::filesystem::file_size(file, error);
    std::printf("veldra window %-8s %8.1f MB/s  %6.2f s wall  %6.2f s CPU  longest event-loop pause %lld ms\n", what,
                double(bytes) / 1e6 / seconds, seconds, CpuSeconds() - cpu, static_cast<long long>(pause));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: bench_window_transfer PORT REMOTE-FILE UPLOAD-FOLDER LOCAL-FILE [BROWSE-FOLDER]\n");
        return 2;
    }
    TBenchApplication application(argc, argv);
    TfrmMain form;
    form.show();
    if (!ConnectForm(form, argv[1], "anonymous", "bench@localhost"))
        return 1;
    const std::string remote = argv[2], folder = argv[3], local = argv[4];
    const std::string home = form.RemoteView().ListedFolder();
    // A visit to a big folder and back, a fifth of a second into the download
    // (by absolute names: the browsing connection may stand elsewhere).
    bool downloading = true;
    QTimer::singleShot(200, [&] {
        if (argc < 6 || !downloading)
            return;
        QElapsedTimer clock;
        clock.start();
        form.RemoteView().ChangeFolder("/" + std::string(argv[5]));
        const qint64 there = clock.restart();
        form.RemoteView().ChangeFolder(home);
        std::printf("veldra window browsing during the download: %s listed in %lld ms, back in %lld ms\n", argv[5],
                    static_cast<long long>(there), static_cast<long long>(clock.elapsed()));
    });
    Measure(form, "download", local, [&] { form.Transfers().DownloadFile(remote, local); });
    downloading = false;
    form.RemoteView().ChangeFolder(folder);
    Measure(form, "upload", local, [&] { form.Transfers().UploadPath(local); });
    form.findChild<QAction *>("actConnect")->trigger();
    return 0;
}
