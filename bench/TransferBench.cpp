// Download and upload of one file through TIdFTP with the window's settings
// (active mode, buffer sizes 8192 and 1024, the anti-freeze registered and
// active with its 50 ms slices). Prints MB/s and CPU seconds; asserts
// nothing. Usage: bench_transfer PORT USER PASSWORD REMOTE-FILE LOCAL-FILE [UPLOAD-NAME]
#include "IdAntiFreeze.h"
#include "IdFTP.h"
#include "IdStream.h"
#include "BenchSupport.h"

#include <QCoreApplication>


#include <chrono>
#include <cstdio>
#include <string>

namespace {

template <typename Work>
void Measure(const char *what, int64_t bytes, Work work)
{
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("veldra %-8s %8.1f MB/s  %6.2f s wall  %6.2f s CPU\n", what, double(bytes) / 1e6 / seconds, seconds,
                CpuSeconds() - cpu);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: bench_transfer PORT USER PASSWORD REMOTE-FILE LOCAL-FILE [UPLOAD-NAME]\n");
        return 2;
    }
    QCoreApplication application(argc, argv);
    TIdAntiFreeze antiFreeze;
    antiFreeze.IdleTimeOut = 50;
    antiFreeze.OnlyWhenIdle = false;

    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = std::stoi(argv[1]);
    ftp.User = argv[2];
    ftp.Password = argv[3];
    ftp.SetRecvBufferSize(8192);
    ftp.SendBufferSize = 1024;
    ftp.Connect(true);
    ftp.SetTransferType(ftBinary);

    const std::string remote = argv[4];
    const std::string local = argv[5];
    const int64_t size = ftp.Size(remote);
    Measure("download", size, [&] { ftp.Get(remote, local, true); });
    TFileStream file(local, TFileStream::fmOpenRead);
    const std::string uploadName = argc == 7 ? argv[6] : remote + ".up";
    Measure("upload", file.Size(), [&] { ftp.Put(&file, uploadName, false); });
    ftp.Disconnect();
    return 0;
}
