// The memory a long queue takes: a folder download's listing of a million
// files, put into the queue the way the runner puts it. Prints the resident bytes
// per queued item.
#include "TransferQueue.h"
#include "TransferRunner.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long StatusKiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return -1;
}

}  // namespace

int main(int argc, char **argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
    const long before = StatusKiB("VmRSS:");
    TTransferQueue queue;
    TTransferItem folder;
    folder.LocalPath = "/home/someone/Downloads/big";
    folder.RemoteFolder = "/";
    folder.RemoteName = "big";
    folder.Folder = true;
    folder.Site = "anonymous@127.0.0.1";
    const int id = queue.Add(folder);
    // As the worker hands a listing over, and the runner queues it.
    std::vector<TListedEntry> entries;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file-%07d.bin", i);
        entries.push_back({name, 1000 + i, 1'700'000'000 + i, false, false});
    }
    const long listed = StatusKiB("VmRSS:") - before;
    TTransferRunner::SortListed(entries, [](const QString &) {});
    size_t next = 0;
    queue.InsertAfter(id, entries.size(), [&](TTransferItem &item) {
        if (next == entries.size())
            return false;
        item = TTransferRunner::FolderItem("/big", folder.LocalPath + '/', std::move(entries[next++]));
        return true;
    });
    std::vector<TListedEntry>().swap(entries);
    std::printf("the listing: %ld MiB\n", listed / 1024);
    const long rss = StatusKiB("VmRSS:") - before;
    std::printf("%zu items: %ld MiB resident, %ld bytes each (item %zu bytes), peak %ld MiB\n", queue.Items().size(),
                rss / 1024, rss * 1024 / long(queue.Items().size()), sizeof(TTransferItem), StatusKiB("VmHWM:") / 1024);
}
