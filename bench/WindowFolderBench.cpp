// A folder of many small files through the window's transfer queue,
// offscreen: downloaded as the folder tree's Ctrl+D queues it (listed as
// the queue reaches it), then uploaded back as a dropped folder. Prints
// files a second each way, how long the download took to start its first
// file, and the number of connections; asserts nothing. With "up" at the
// end, LOCAL-PARENT/REMOTE-FOLDER is only uploaded.
// Usage: bench_window_folders PORT REMOTE-FOLDER LOCAL-PARENT UPLOAD-FOLDER [CONNECTIONS [up]]
#include "BenchSupport.h"
#include "RemoteView.h"
#include "TransferRunner.h"
#include "Transfers.h"

#include <QElapsedTimer>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Turns the event loop until the queue is empty; returns the seconds it
// took and, through `firstFile`, when a file (not a folder) first began.
double RunQueue(TfrmMain &form, double &firstFile)
{
    QElapsedTimer clock;
    clock.start();
    firstFile = -1;
    WaitForQueue(form, 1, [&] {
        if (firstFile < 0)
            for (const TTransferItem &item : form.Runner().Queue().Items())
                if (!item.Folder && item.State != TTransferState::Queued) {
                    firstFile = double(clock.nsecsElapsed()) / 1e9;
                    break;
                }
    });
    return double(clock.nsecsElapsed()) / 1e9;
}

int Files(const std::filesystem::path &folder)
{
    int count = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder))
        count += entry.is_regular_file();
    return count;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 5 || argc > 7) {
        std::fprintf(stderr, "usage: bench_window_folders PORT REMOTE-FOLDER LOCAL-PARENT UPLOAD-FOLDER [CONNECTIONS [up]]\n");
        return 2;
    }
    TBenchApplication application(argc, argv);
    TfrmMain form;
    form.show();
    if (!ConnectForm(form, argv[1], "anonymous", "bench@localhost"))
        return 1;
    form.Runner().SetSimultaneous(argc >= 6 ? std::atoi(argv[5]) : 2);
    const bool uploadOnly = argc == 7 && std::string(argv[6]) == "up";
    const std::string remote = argv[2], parent = argv[3], upload = argv[4];

    // As Ctrl+D on the folder tree queues it.
    TTransferItem folder;
    folder.Direction = TTransferDirection::Download;
    folder.Folder = true;
    folder.LocalPath = parent + "/" + remote;
    folder.RemoteFolder = form.RemoteView().ListedFolder();
    folder.RemoteName = remote;
    double first = 0;
    if (!uploadOnly) {
        form.Runner().Enqueue({folder});
        const double seconds = RunQueue(form, first);
        const int down = Files(folder.LocalPath);
        std::printf(
            "veldra window folder download  %5d files %8.1f files/s  %6.2f s, first file after %.3f s, %d connections\n",
            down, down / seconds, seconds, first, form.Runner().Simultaneous());
    }
    const int down = Files(folder.LocalPath);

    form.RemoteView().ChangeFolder(form.RemoteView().ListedFolder() + (form.RemoteView().ListedFolder() == "/" ? "" : "/") +
                                   upload);
    form.Transfers().UploadPath(folder.LocalPath);
    const double seconds = RunQueue(form, first);
    std::printf("veldra window folder upload    %5d files %8.1f files/s  %6.2f s\n", down, down / seconds, seconds);
    form.findChild<QAction *>("actConnect")->trigger();
    return 0;
}
