// Download and upload of one file through the window's own path, offscreen:
// DownloadFile and UploadPath with the work handlers that drive the
// progress bar, the speed panel and the log. Prints MB/s, CPU seconds and
// the longest pause of the window's event loop (a 10 ms timer that counts
// its own lateness); asserts nothing.
// Usage: bench_window_transfer PORT REMOTE-FILE UPLOAD-FOLDER LOCAL-FILE
#include "BenchSupport.h"
#include "RemoteView.h"
#include "Transfers.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>


#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

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

template <typename Work>
void Measure(const char *what, int64_t bytes, Work work)
{
    TLoopWatch loop;
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    loop.Start();
    work();
    const qint64 pause = loop.Stop();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::printf("veldra window %-8s %8.1f MB/s  %6.2f s wall  %6.2f s CPU  longest event-loop pause %lld ms\n", what,
                double(bytes) / 1e6 / seconds, seconds, CpuSeconds() - cpu, static_cast<long long>(pause));
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_window_transfer PORT REMOTE-FILE UPLOAD-FOLDER LOCAL-FILE\n");
        return 2;
    }
    TBenchApplication application(argc, argv);
    TfrmMain form;
    form.show();
    if (!ConnectForm(form, argv[1], "anonymous", "bench@localhost"))
        return 1;
    const std::string remote = argv[2], folder = argv[3], local = argv[4];
    Measure("download", form.FTP.Size(remote), [&] { form.Transfers().DownloadFile(remote, local); });
    form.RemoteView().ChangeFolder(folder);
    FILE *file = std::fopen(local.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    const int64_t bytes = std::ftell(file);
    std::fclose(file);
    form.FTP.SetTransferType(ftBinary);
    Measure("upload", bytes, [&] { form.Transfers().UploadPath(local); });
    form.findChild<QAction *>("actConnect")->trigger();
    return 0;
}
