// What the journal costs the queue: 10,000 files queued, started and done
// one after the other, each taking a tenth of a millisecond (ten times the
// pace of small files over FTP on loopback), with the journal on disk and
// without: the items a second of each, the last write included.
// Usage: bench_queue_journal [folder] [files]
#include "BenchSupport.h"
#include "QueueKeeper.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <memory>

namespace {

double Run(const QString &folder, int files, bool journal)
{
    TTransferQueue queue;
    std::unique_ptr<TQueueKeeper> keeper;
    if (journal) {
        QFile::remove(folder + "/bench-queue.db");
        keeper = std::make_unique<TQueueKeeper>(
            queue, std::make_unique<TQueueJournal>(folder + "/bench-queue.db", "bench"),
            [](const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
    }
    QElapsedTimer clock;
    clock.start();
    std::vector<TTransferItem> items(static_cast<size_t>(files));
    for (int i = 0; i < files; ++i) {
        items[size_t(i)].Site = "anonymous@127.0.0.1";
        items[size_t(i)].RemoteFolder = "/pub/small";
        items[size_t(i)].RemoteName = "file" + std::to_string(i) + ".bin";
        items[size_t(i)].LocalPath = "/home/someone/Downloads/small/" + items[size_t(i)].RemoteName;
        items[size_t(i)].Size = 16384;
    }
    queue.Add(std::move(items));
    for (const TTransferItem *next = queue.NextQueued(); next; next = queue.NextQueued()) {
        const int id = next->Id;
        queue.Apply(id, TTransferEvent::Start);
        queue.SetProgress(id, 16384, 1e6);
        queue.Apply(id, TTransferEvent::Finish);
        // The window's loop turns while the file moves.
        QElapsedTimer step;
        step.start();
        while (step.nsecsElapsed() < 100'000)
            QCoreApplication::processEvents();
    }
    if (keeper)
        keeper->Flush();
    return files / (double(clock.nsecsElapsed()) / 1e9);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const int files = argc > 2 ? std::atoi(argv[2]) : 10'000;
    for (int round = 0; round < 3; ++round) {
        const double without = Run(folder, files, false), with = Run(folder, files, true);
        std::printf("queue of %d files through start and end: %.0f items/s without the journal, %.0f with it on "
                    "disk (%s)\n",
                    files, without, with, qPrintable(folder));
    }
    QFile::remove(folder + "/bench-queue.db");
    QFile::remove(folder + "/bench-queue.db-wal");
    QFile::remove(folder + "/bench-queue.db-shm");
}
