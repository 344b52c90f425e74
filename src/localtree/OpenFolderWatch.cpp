#include "OpenFolderWatch.h"

#include "SystemTreeView.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>

namespace {

// What a folder's entries coming and going look like; the folder itself
// going is its parent's news.
constexpr uint32_t EntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
constexpr int SettleMs = 150;

}  // namespace

TOpenFolderWatch::TOpenFolderWatch(TdfsSystemTreeView &tree) : QObject(&tree), FTree(tree)
{
    FDescriptor = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (FDescriptor < 0)
        return;  // the tree still works; open folders are current when selected
    FNotifier = new QSocketNotifier(FDescriptor, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TOpenFolderWatch::Readable);
    FDelay = new QTimer(this);
    FDelay->setSingleShot(true);
    FDelay->setInterval(SettleMs);
    connect(FDelay, &QTimer::timeout, this, &TOpenFolderWatch::RefreshDue);
}

TOpenFolderWatch::~TOpenFolderWatch()
{
    if (FDescriptor >= 0)
        ::close(FDescriptor);
}

void TOpenFolderWatch::Watch(TTreeNode *node)
{
    if (FDescriptor < 0 || !node || FWatchOf.count(node) || FWatchOf.size() >= MaxWatches)
        return;
    const std::string path = FTree.GetNodePathBytes(node);
    if (path.empty())
        return;
    const int watch = ::inotify_add_watch(FDescriptor, path.c_str(), EntryEvents);
    if (watch < 0)
        return;  // not a folder, no permission, or the user's watch limit
    FWatchOf[node] = watch;
    FNodesOf[watch].push_back(node);
}

void TOpenFolderWatch::Forget(TTreeNode *node)
{
    FDue.erase(node);
    const auto found = FWatchOf.find(node);
    if (found == FWatchOf.end())
        return;
    const int watch = found->second;
    FWatchOf.erase(found);
    std::vector<TTreeNode *> &nodes = FNodesOf[watch];
    nodes.erase(std::remove(nodes.begin(), nodes.end(), node), nodes.end());
    if (nodes.empty()) {
        FNodesOf.erase(watch);
        ::inotify_rm_watch(FDescriptor, watch);
    }
}

void TOpenFolderWatch::Readable()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = ::read(FDescriptor, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            // A tree without files cares for folders only.
            if (!FTree.ShowFiles() && !(event->mask & IN_ISDIR))
                continue;
            if (const auto nodes = FNodesOf.find(event->wd); nodes != FNodesOf.end())
                FDue.insert(nodes->second.begin(), nodes->second.end());
        }
    }
    if (!FDue.empty())
        FDelay->start();
}

void TOpenFolderWatch::RefreshDue()
{
    // A refresh may delete nodes that are due too (an open folder inside a
    // refreshed one): take them one at a time, as long as they are due.
    while (!FDue.empty()) {
        TTreeNode *node = *FDue.begin();
        FDue.erase(FDue.begin());
        // The selected folder has its own watcher, with its own rules.
        if (node == FTree.Watch().WatchedNode() || !FTree.IsExpanded(node))
            continue;
        FTree.Guarded([this, node] { FTree.RefreshKeepingOpen(node); });
    }
}
