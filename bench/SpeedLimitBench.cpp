// The speed limits through the window's transfer queue: a download and an
// upload under a limit, and a download whose limit is raised halfway, as
// a user changes it in the settings while a transfer runs. Prints the rate
// each one reached next to the limit it had. Asserts nothing.
// Usage: bench_speed_limit PORT REMOTE-FILE UPLOAD-FOLDER LOCAL-FILE LIMIT-KIB
#include "BenchSupport.h"
#include "RemoteView.h"
#include "TransferRunner.h"
#include "Transfers.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void SetLimits(TfrmMain &form, int download, int upload)
{
    TTransferRunner::TOptions options = form.Runner().Options();
    options.DownloadLimit = download;
    options.UploadLimit = upload;
    form.Runner().SetOptions(options);
}

// Seconds the queue took over the work.
template <typename Work>
double Timed(TfrmMain &form, Work work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    WaitForQueue(form, 5);
    return double(clock.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_speed_limit PORT REMOTE-FILE UPLOAD-FOLDER LOCAL-FILE LIMIT-KIB\n");
        return 2;
    }
    TBenchApplication application(argc, argv);
    TfrmMain form;
    form.show();
    if (!ConnectForm(form, argv[1], "anonymous", "bench@localhost"))
        return 1;
    const std::string remote = argv[2], folder = argv[3], local = argv[4];
    const int limit = std::atoi(argv[5]);
    const auto report = [&](const char *what, double seconds, const char *against) {
        std::error_code error;
        const double kib = double(std::filesystem::file_size(local, error)) / 1024;
        std::printf("veldra window %-24s %8.0f KiB/s  %6.2f s  (%s)\n", what, kib / seconds, seconds, against);
    };
    char limitText[64];
    std::snprintf(limitText, sizeof limitText, "limit %d KiB/s", limit);

    SetLimits(form, limit, 0);
    report("download, limited", Timed(form, [&] { form.Transfers().DownloadFile(remote, local); }), limitText);

    // Raised fourfold after a second: the rest should come four times as
    // fast, from the moment the setting changes.
    SetLimits(form, limit, 0);
    std::filesystem::remove(local);
    QTimer::singleShot(1000, [&] { SetLimits(form, 4 * limit, 0); });
    const double raised = Timed(form, [&] { form.Transfers().DownloadFile(remote, local); });
    std::error_code error;
    const double kib = double(std::filesystem::file_size(local, error)) / 1024;
    const double ideal = 1.0 + std::max(0.0, kib - limit) / (4.0 * limit);
    char idealText[96];
    std::snprintf(idealText, sizeof idealText, "raised to %d KiB/s after 1 s: %.2f s at best", 4 * limit, ideal);
    report("download, limit raised", raised, idealText);

    SetLimits(form, 0, limit);
    form.RemoteView().ChangeFolder(folder);
    report("upload, limited", Timed(form, [&] { form.Transfers().UploadPath(local); }), limitText);
    SetLimits(form, 0, 0);
    form.findChild<QAction *>("actConnect")->trigger();
    return 0;
}
