#include "TransferRunner.h"


#include "ByteUnits.h"
#include "IdLocalPath.h"
#include "IdMainThreadQueue.h"
#include "RemoteName.h"
#include "SettingsStore.h"

#include <QLocale>

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>

namespace {

const QString QueueGroup = QStringLiteral("Queue");

}  // namespace

TTransferRunner::TTransferRunner(TTransferNews &news, bool ideHooksLog, const TSessionMaker &make)
    : FNews(news), FSlots(MaxSimultaneous)
{
    for (TSlot &slot : FSlots) {
        slot.Worker = std::make_unique<TTransferWorker>(make);
        TTransferWorker &worker = *slot.Worker;
        worker.IdeHooksLog = ideHooksLog;
        worker.DownloadLimit = &FDownloadLimit;
        worker.UploadLimit = &FUploadLimit;
        worker.OnStarted = [this, &slot](int id) { Started(slot, id); };
        worker.OnSized = [this](int id, int64_t size) { FQueue.SetSize(id, size); };
        worker.OnTarget = [this](int id, const std::string &target) { FQueue.SetTarget(id, target); };
        worker.OnVerified = [this](int id, const QString &algorithm) { FQueue.SetVerified(id, algorithm); };
        worker.OnLog = [this](const QString &line) { FNews.Log(line); };
        worker.OnNotice = [this](const QString &line) {
            if (FNoticesTold.insert(line).second)
                FNews.Log(line);
        };
        worker.OnEnded = [this](int id, TTransferWorker::TOutcome outcome, const QString &reason) {
            Ended(id, outcome, reason);
        };
        worker.OnAskOverwrite = [this](const TOverwriteQuestion &question) { return AskOverwrite(question); };
        worker.OnListed = [this](int id, std::vector<TListedEntry> &&entries, bool more) {
            Listed(id, std::move(entries), more);
        };
        worker.OnPart = [this](const std::string &target, const std::optional<TPartRecord> &part) {
            FParts.Keep(target, part);
        };
        worker.OnConfirm = [this](const QString &question) {
            return !FStopping && FNews.Confirm(question);
        };
    }
    FTimer.setInterval(TickInterval);
    connect(&FTimer, &QTimer::timeout, this, [this] { Tick(); });
}

TTransferRunner::~TTransferRunner()
{
    // What the workers still report while they end goes nowhere.
    for (TSlot &slot : FSlots) {
        TTransferWorker &worker = *slot.Worker;
        worker.OnStarted = nullptr;
        worker.OnSized = nullptr;
        worker.OnTarget = nullptr;
        worker.OnVerified = nullptr;
        worker.OnLog = nullptr;
        worker.OnNotice = nullptr;
        worker.OnEnded = nullptr;
        worker.OnAskOverwrite = nullptr;
        worker.OnListed = nullptr;
        worker.OnPart = nullptr;
        worker.OnConfirm = nullptr;
    }
}

void TTransferRunner::SetSession(const TSessionSettings &session, const QString &site, const QString &name)
{
    FSession = session;
    FSite = site;
    FSiteName = name;
    FNoticesTold.clear();
    for (TSlot &slot : FSlots)
        slot.Worker->SetSession(session);
}

void TTransferRunner::SetListingLimits(const TFolderListingLimits &limits)
{
    // Before any job: each worker reads them on its own thread.
    for (TSlot &slot : FSlots)
        slot.Worker->ListingLimits = limits;
}

void TTransferRunner::SetPassive(bool passive)
{
    if (FSession.Passive == passive)
        return;
    FSession.Passive = passive;
    for (TSlot &slot : FSlots)
        slot.Worker->SetSession(FSession);
}

void TTransferRunner::SetSimultaneous(int count)
{
    FSimultaneous = std::clamp(count, 1, MaxSimultaneous);
    FNews.SimultaneousChanged(FSimultaneous);
    StartNext();
}

void TTransferRunner::SetOptions(const TOptions &options)
{
    FOptions = options;
    FOptions.DownloadLimit = std::max(0, options.DownloadLimit);
    FOptions.UploadLimit = std::max(0, options.UploadLimit);
    const int download = FOptions.LimitsOn ? FOptions.DownloadLimit : 0,
              upload = FOptions.LimitsOn ? FOptions.UploadLimit : 0;
    FDownloadLimit.Set(int64_t(download) * 1024);
    FUploadLimit.Set(int64_t(upload) * 1024);
    for (TSlot &slot : FSlots) {
        slot.Worker->PreserveTimes = FOptions.PreserveTimes;
        slot.Worker->VerifyFiles = FOptions.Verify;
        slot.Worker->SetTextTypes(FOptions.TextAsAscii ? FOptions.TextTypes.toStdString() : std::string());
    }
    FNews.LimitsChanged(download, upload);
}

void TTransferRunner::SetSiteLimit(int count)
{
    FSiteLimit = std::clamp(count, 0, MaxSimultaneous);
    StartNext();
}

TTransferRunner::TSlot *TTransferRunner::SlotOf(int id)
{
    for (TSlot &slot : FSlots)
        if ((slot.Current == id || slot.Next == id) && id != 0)
            return &slot;
    return nullptr;
}

bool TTransferRunner::Running() const
{
    return std::any_of(FSlots.begin(), FSlots.end(),
                       [](const TSlot &slot) { return slot.Current != 0 || slot.Next != 0; });
}

bool TTransferRunner::Handed(int id) const
{
    return FHeld.count(id) > 0 ||
           std::any_of(FSlots.begin(), FSlots.end(), [id](const TSlot &slot) { return slot.Next == id; });
}

void TTransferRunner::TakeBack()
{
    for (TSlot &slot : FSlots)
        if (slot.Next != 0 && slot.Worker->TakeBack(slot.Next))
            slot.Next = 0;
}

TOverwriteChoice TTransferRunner::AskOverwrite(const TOverwriteQuestion &question)
{
    // Stopping, nothing is asked: the file stays.
    if (FStopping)
        return {};
    if (DefaultOverwrite)
        return {*DefaultOverwrite, false};
    // "Apply to all" holds for the rest of the run, whichever connection
    // asks; the workers' own guards do not keep it.
    TOverwriteChoice choice = FForAll ? *FForAll : FNews.AskOverwrite(question);
    if (choice.ApplyToAll)
        FForAll = choice;
    choice.ApplyToAll = false;
    return choice;
}

// ---- the queue's course ----------------------------------------------------------

void TTransferRunner::Enqueue(std::vector<TTransferItem> items)
{
    if (items.empty())
        return;
    const int batch = FQueue.NewBatch();
    const bool downloads = std::all_of(items.begin(), items.end(), [](const TTransferItem &item) {
        return item.Direction == TTransferDirection::Download;
    });
    if ((items.size() > 1 || items.front().Folder) && downloads)
        FBatchSizes[batch] = int(items.size());
    // A queue that rested begins a run of its own: its pace from here.
    if (!FQueue.Active()) {
        FRunClock.start();
        FRunFiles = 0;
        FRunBytes = 0;
    }
    for (TTransferItem &item : items) {
        item.Batch = batch;
        item.Site = FSite;
    }
    FQueue.Add(std::move(items));
    StartNext();
    ShowTotals();
}

void TTransferRunner::StartNext()
{
    if (FStopping)
        return;
    // Each worker has the next item at hand while it runs one: it goes on
    // at once. The item stays queued until the worker begins it.
    for (int i = 0; i < (FSiteLimit > 0 ? FSiteLimit : FSimultaneous); ++i) {
        TSlot &slot = FSlots[size_t(i)];
        if (slot.Next != 0 || !slot.Worker->Free())
            continue;
        const TTransferItem *next = FQueue.NextQueued([this](int id) { return Handed(id); });
        if (!next)
            break;
        TTransferWorker::TJob job(*next);
        if (job.Folder)
            job.Room = RoomLeft(job.Batch);
        job.Retry = FRetries.count(job.Id) > 0;
        job.Parts = FParts.Snapshot();
        slot.Next = job.Id;
        job.Several = FQueue.NextQueued([this](int id) { return Handed(id); }) != nullptr;
        slot.Worker->Run(job);
    }
    // Items that wait for a retry come back by their timer.
    if (!Running() && FHeld.empty() && !FQueue.NextQueued())
        Drained();
}

void TTransferRunner::Started(TSlot &slot, int id)
{
    if (slot.Next == id)
        slot.Next = 0;
    slot.Current = id;
    slot.Clock.start();
    slot.Rate.Restart();
    slot.Speed = 0;
    FQueue.Apply(id, TTransferEvent::Start);
    FTimer.start();
    StartNext();
}

void TTransferRunner::Ended(int id, TTransferWorker::TOutcome outcome, const QString &reason)
{
    Tick();
    for (TSlot &slot : FSlots)
        if (slot.Current == id)
            slot.Current = 0;
    if (!Running())
        FTimer.stop();
    using O = TTransferWorker::TOutcome;
    switch (outcome) {
    case O::Done:
        FQueue.Apply(id, TTransferEvent::Finish);
        if (const TTransferItem *item = FQueue.Find(id); item && !item->Folder) {
            ++FRunFiles;
            FRunBytes += std::max<int64_t>(item->Size, 0);
        }
        break;
    case O::Skipped:
        FQueue.Apply(id, TTransferEvent::Cancel, reason);
        break;
    case O::Interrupted:
        if (!FStopping && FRetries[id] < MaxRetries) {
            RetryLater(id);
            break;
        }
        [[fallthrough]];
    case O::Failed:
        FQueue.Apply(id, TTransferEvent::Fail, reason);
        // The message names the first few; a million failures are counted.
        if (FFailures.size() < ShownFailures)
            FFailures.append(reason);
        ++FFailureCount;
        if (const TTransferItem *item = FQueue.Find(id);
            item && item->Direction == TTransferDirection::Download && !item->Folder && DiskFull(item->LocalPath))
            FFullDisk.push_back(item->LocalPath);
        break;
    case O::Cancelled:
        // Stopped by a disconnect or the close: unfinished, not cancelled.
        FQueue.Apply(id, FStopping ? TTransferEvent::Interrupt : TTransferEvent::Cancel, reason);
        break;
    }
    if (!Running()) {
        FNews.ShowProgress(0);
        FNews.ShowSpeed(QString());
    }
    if (const TTransferItem *item = FQueue.Find(id); item && item->State != TTransferState::Queued)
        FRetries.erase(id);  // a later Retry Failed starts the count afresh
    if (const TTransferItem *item = FQueue.Find(id)) {
        if (outcome == O::Done && item->Direction != TTransferDirection::Download)
            ShowChange(*item);
        const auto batch = FBatchSizes.find(item->Batch);
        if (FQueue.BatchEnded(item->Batch)) {
            FBatchQueued.erase(item->Batch);
            FBatchCut.erase(item->Batch);
        }
        if (batch != FBatchSizes.end() && FQueue.BatchEnded(item->Batch)) {
            FBatchSizes.erase(batch);
            FNews.Log(FQueue.BatchSummary(item->Batch));
        }
    }
    StartNext();
    ShowTotals();
}

void TTransferRunner::RetryLater(int id)
{
    const int attempt = ++FRetries[id];
    FQueue.Apply(id, TTransferEvent::Interrupt);
    FHeld.insert(id);
    if (const TTransferItem *item = FQueue.Find(id))
        FNews.Log(QStringLiteral("Retrying %1 in %2 s (%3 of %4).")
                             .arg(RemoteDisplayName(item->RemoteName))
                             .arg(RetryDelay / 1000.0)
                             .arg(attempt)
                             .arg(MaxRetries));
    QTimer::singleShot(RetryDelay, this, [this, id] {
        if (FHeld.erase(id) == 0)
            return;
        StartNext();
        ShowTotals();
    });
}

void TTransferRunner::Listed(int id, std::vector<TListedEntry> entries, bool more)
{
    const TTransferItem *folder = FQueue.Find(id);
    if (!folder)
        return;
    const size_t listed = entries.size();
    std::erase_if(entries, [this](const TListedEntry &entry) {
        return Filters.Hides(RemoteDisplayName(entry.Name), entry.IsFolder && !entry.IsLink, entry.Size);
    });
    if (entries.size() < listed)
        FNews.Log(QStringLiteral("%1: %2 items hidden by filename filters were not queued.")
                      .arg(RemoteDisplayName(RemoteJoin(folder->RemoteFolder, folder->RemoteName)))
                      .arg(listed - entries.size()));
    SortListed(entries, [this](const QString &line) { FNews.Log(line); });
    const size_t room = RoomLeft(folder->Batch);
    if (more || entries.size() > room) {
        // The files first, as they come: the folders, which would queue
        // more, are the ones left.
        // Said once: the folders listed later queue nothing more.
        if (FBatchCut.insert(folder->Batch).second)
            FNews.Log(QStringLiteral("%1: the rest of its items, and what the folders listed after it hold, were not "
                                     "queued: one download queues no more than %2 files and folders.")
                          .arg(RemoteDisplayName(RemoteJoin(folder->RemoteFolder, folder->RemoteName)))
                          .arg(QLocale(QLocale::English).toString(qulonglong(MaxQueuedPerTransfer))));
        entries.resize(std::min(entries.size(), room));
    }
    FBatchQueued[folder->Batch] += entries.size();
    // Each entry becomes its item in the queue itself, its name moved.
    const std::string remote = RemoteJoin(folder->RemoteFolder, folder->RemoteName);
    const std::string local = folder->LocalPath + '/';
    size_t next = 0;
    FQueue.InsertAfter(id, entries.size(), [&](TTransferItem &item) {
        if (next == entries.size())
            return false;
        item = FolderItem(remote, local, std::move(entries[next++]));
        return true;
    });
}

size_t TTransferRunner::RoomLeft(int batch) const
{
    const auto queued = FBatchQueued.find(batch);
    return MaxQueuedPerTransfer - std::min(queued == FBatchQueued.end() ? 0 : queued->second, MaxQueuedPerTransfer);
}

void TTransferRunner::SortListed(std::vector<TListedEntry> &entries, const std::function<void(const QString &)> &log)
{
    std::erase_if(entries, [&log](const TListedEntry &entry) {
        if (IsLocalFileName(entry.Name))
            return false;
        log(UnsafeNameSkipped(entry.Name));
        return true;
    });
    // Files first, then the folders, each listed when its turn comes. A
    // link to a folder is not walked into (it may lead round in a loop):
    // the worker skips it, and says so.
    std::stable_partition(entries.begin(), entries.end(),
                          [](const TListedEntry &entry) { return !entry.IsFolder || entry.IsLink; });
}

TTransferItem TTransferRunner::FolderItem(const std::string &remote, const std::string &local, TListedEntry &&entry)
{
    TTransferItem item;
    item.Direction = TTransferDirection::Download;
    item.LocalPath = local + LocalNameFor(entry.Name);
    item.RemoteFolder = remote;
    item.RemoteName = std::move(entry.Name);
    item.Folder = entry.IsFolder && !entry.IsLink;
    item.Link = entry.IsLink;
    item.Size = entry.Size;
    if (entry.Seconds >= 0)
        item.Time = TimeTextOfSeconds(entry.Seconds);
    return item;
}

std::vector<TTransferItem> TTransferRunner::FolderContents(const TTransferItem &folder,
                                                           std::vector<TListedEntry> entries,
                                                           const std::function<void(const QString &)> &log)
{
    SortListed(entries, log);
    const std::string remote = RemoteJoin(folder.RemoteFolder, folder.RemoteName);
    const std::string local = folder.LocalPath + '/';
    std::vector<TTransferItem> items;
    items.reserve(entries.size());
    for (TListedEntry &entry : entries)
        items.push_back(FolderItem(remote, local, std::move(entry)));
    return items;
}

void TTransferRunner::ShowChange(const TTransferItem &item)
{
    // Once, after the last change queued for that folder.
    for (const TTransferItem &other : FQueue.Items())
        if (other.State == TTransferState::Queued && other.Direction != TTransferDirection::Download &&
            other.RemoteFolder == item.RemoteFolder)
            return;
    FNews.FolderChanged(item.RemoteFolder);
}

void TTransferRunner::Drained()
{
    FForAll.reset();
    if (FFailures.isEmpty())
        return;
    // One message for the run, however many failed: the rows say the rest.
    const QStringList failures = std::exchange(FFailures, {});
    const size_t count = std::exchange(FFailureCount, 0);
    QString text = failures.join('\n');
    if (count > size_t(failures.size()))
        text += QStringLiteral("\n...and %1 more: see the Transfers page.").arg(qulonglong(count - size_t(failures.size())));
    FNews.ReportFailures(text);
    OfferToFreeDisk();
}

bool TTransferRunner::DiskFull(const std::string &target)
{
    // What the kernel lets this user write there, not its words (which
    // the locale translates).
    struct statvfs disk {};
    const std::string folder = LocalPath::FolderPart(target);
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) != 0)
        return false;
    const uint64_t blocks = ::geteuid() == 0 ? disk.f_bfree : disk.f_bavail;
    return blocks * disk.f_frsize < FullBelow;
}

void TTransferRunner::OfferToFreeDisk()
{
    // The parts that filled the disk are kept for a resume unless the
    // user would rather have the room.
    std::vector<TPartRecord> parts;
    int64_t bytes = 0;
    for (const std::string &target : std::exchange(FFullDisk, {}))
        if (const TPartRecord *part = FParts.Find(target)) {
            const int64_t length = LocalPath::SizeOf(part->Path);
            if (length > 0 && std::none_of(parts.begin(), parts.end(),
                                           [&](const TPartRecord &other) { return other.Path == part->Path; })) {
                parts.push_back(*part);
                bytes += length;
            }
        }
    if (parts.empty())
        return;
    const QString question =
        QStringLiteral("The disk is full. Delete the %1 already downloaded?\n\nKept, %2 can go on from there once "
                       "there is room.")
            .arg(ByteText(bytes), parts.size() == 1 ? QStringLiteral("the download") : QStringLiteral("the downloads"));
    if (!FNews.Confirm(question))
        return;
    for (const TPartRecord &part : parts)
        FParts.Keep(part.Target, std::nullopt);
    FNews.Log(QStringLiteral("Deleted the %1 already downloaded.").arg(ByteText(bytes)));
}

// ---- the user's requests -------------------------------------------------------------

void TTransferRunner::DeleteFolder(const std::string &parent, const std::string &name)
{
    TTransferItem item;
    item.Direction = TTransferDirection::Delete;
    item.Folder = true;
    item.RemoteFolder = parent;
    item.RemoteName = name;
    Enqueue({item});
}

void TTransferRunner::Cancel(const std::vector<int> &ids)
{
    for (const int id : ids) {
        if (TSlot *slot = SlotOf(id)) {
            // Running, or begun by now: it ends as cancelled.
            if (slot->Next != id || !slot->Worker->TakeBack(id)) {
                slot->Worker->Cancel(id);
                continue;
            }
            slot->Next = 0;
        }
        if (FQueue.Apply(id, TTransferEvent::Cancel, QStringLiteral("Cancelled before it began.")))
            FHeld.erase(id);
    }
    // A cancelled retry may have been all that was left.
    StartNext();
    ShowTotals();
}

bool TTransferRunner::Move(int id, int step)
{
    // An item at a worker's hand goes back in line: the new order holds.
    TakeBack();
    const bool moved = step < 0 ? FQueue.MoveUp(id) : FQueue.MoveDown(id);
    StartNext();
    return moved;
}

void TTransferRunner::RetryFailed()
{
    FQueue.RetryFailed();
    StartNext();
    ShowTotals();
}

void TTransferRunner::StopAll(const QString &why)
{
    FStopping = true;
    TakeBack();
    if (Running()) {
        for (TSlot &slot : FSlots)
            if (slot.Current != 0 || slot.Next != 0)
                slot.Worker->CancelCurrent();
        // Their ends are reported through the main-thread queue.
        IdMainThreadQueue::DrainUntil([this] { return !Running(); });
    }
    // What is left is on disk as it is now, set aside, before its rows end.
    if (FKeeper)
        FKeeper->SetAside();
    // The failed ones too: set aside with the rest, they are offered again
    // at the next login. By id: a queue of a million is not copied for it.
    std::vector<int> queued;
    for (const TTransferItem &item : FQueue.Items())
        if (item.State == TTransferState::Queued ||
            (FKeeper && item.State == TTransferState::Failed && item.Direction != TTransferDirection::Delete))
            queued.push_back(item.Id);
    for (const int id : queued)
        FQueue.Apply(id, TTransferEvent::Cancel, why);
    FBatchSizes.clear();
    FBatchQueued.clear();
    FBatchCut.clear();
    FFailures.clear();
    FFailureCount = 0;
    FFullDisk.clear();
    FRetries.clear();
    FHeld.clear();
    FForAll.reset();
    FStopping = false;
    ShowTotals();
}

void TTransferRunner::OfferUnfinished()
{
    // Another window's queue, kept for its crash, is that window's: only
    // what was set aside or left by a run that ended is offered.
    const size_t left = FKeeper ? FKeeper->Left(FSite) : 0;
    if (left == 0)
        return;
    const QString site = FSiteName.isEmpty() ? FSite : FSiteName;
    const QString question = left == 1
                                 ? QStringLiteral("1 transfer to %1 was not finished. Queue it again?").arg(site)
                                 : QStringLiteral("%1 transfers to %2 were not finished. Queue them again?")
                                       .arg(left)
                                       .arg(site);
    // Taken either way: an answer no is not asked again. The rows taken
    // end in the same write that keeps them queued again.
    const bool again = FNews.Confirm(question);
    std::vector<TTransferItem> offered = FKeeper->Take(FSite);
    if (again)
        Enqueue(std::move(offered));
    FKeeper->Flush(true);
}

// ---- progress ---------------------------------------------------------------------------

void TTransferRunner::Tick()
{
    // The rows' speeds follow the last seconds; the panel's is the
    // average since each start, as it always was, summed.
    FSpeed = 0;
    bool downloads = false, uploads = false;
    for (TSlot &slot : FSlots) {
        const TTransferItem *item = FQueue.Find(slot.Current);
        if (!item)
            continue;
        const int64_t bytes = slot.Worker->BytesDone();
        const qint64 now = slot.Clock.elapsed();
        slot.Speed = slot.Rate.Add(now, bytes);
        FSpeed += slot.Speed;
        FQueue.SetProgress(slot.Current, bytes, slot.Speed);
        (item->Direction == TTransferDirection::Download ? downloads : uploads) = true;
    }
    if (!downloads && !uploads)
        return;
    // The last seconds' speed of all that runs, in the queue's units.
    FNews.ShowSpeed(QStringLiteral("%1 %2").arg(downloads && uploads ? "Speed"
                                                           : downloads         ? "Download speed"
                                                                               : "Upload speed",
                                                           RateText(FSpeed)));
    const TTransferQueue::TTotals totals = FQueue.Totals();
    const int64_t all = FRunBytes + totals.BytesShown();
    if (all > 0)
        FNews.ShowProgress(int((FRunBytes + totals.DoneShown()) * 100 / all));
    ShowTotals();
}

void TTransferRunner::ShowTotals()
{
    const TTransferQueue::TTotals totals = FQueue.Totals();
    if (totals.Pending == 0) {
        FNews.ShowQueue(QString());
        return;
    }
    // What this run of the queue moves, what it moved among it: the files
    // done count as the queue goes on.
    QString text = totals.Pending == 1 ? QStringLiteral("1 transfer") : QStringLiteral("%1 transfers").arg(totals.Pending);
    const int64_t done = FRunBytes + totals.DoneShown(), all = FRunBytes + totals.BytesShown();
    if (all > 0)
        text += ": " + ByteText(done) + " of " + ByteText(all);
    if (Running() && FSpeed > 0) {
        text += ", " + RateText(FSpeed);
        const QString left =
            QueueTimeLeftText({FRunClock.isValid() ? FRunClock.elapsed() : 0, FRunFiles, totals.Pending, done,
                               totals.LeftShown(), FSpeed});
        if (!left.isEmpty())
            text += ", " + left + " left";
    }
    FNews.ShowQueue(text);
}

void TTransferRunner::ResetDisplay()
{
    FNews.ShowProgress(0);
    FNews.ShowSpeed(QString());
}

// ---- kept for later -----------------------------------------------------------------

void TTransferRunner::Load(const TSettingsStore &store)
{
    SetSimultaneous(store.ReadInteger("Transfers/Simultaneous", 2));
    TOptions options;
    options.PreserveTimes = store.ReadInteger("Transfers/PreserveTimes", 1) != 0;
    options.Verify = store.ReadInteger("Transfers/Verify", 1) != 0;
    options.DownloadLimit = store.ReadInteger("Transfers/DownloadLimit", 0);
    options.UploadLimit = store.ReadInteger("Transfers/UploadLimit", 0);
    options.LimitsOn = store.ReadInteger("Transfers/LimitsOn", 1) != 0;
    options.TextAsAscii = store.ReadInteger("Transfers/TextAsAscii", 0) != 0;
    options.TextTypes = store.ReadString("Transfers/TextTypes", options.TextTypes);
    SetOptions(options);
    Filters.Load(store);
    LoadShared(store);
}

void TTransferRunner::LoadShared(const TSettingsStore &store)
{
    FParts.Load(store);
}

bool TTransferRunner::ImportKept(const TSettingsStore &store)
{
    const int count = store.ReadInteger(QueueGroup + "/Count", 0);
    if (count <= 0 || !FKeeper)
        return false;
    std::vector<std::pair<QString, TTransferItem>> rows;
    for (int i = 0; i < count; ++i) {
        const QString key = QStringLiteral("%1/%2.").arg(QueueGroup).arg(i);
        TTransferItem item;
        item.Site = store.ReadString(key + "Site", {});
        item.Direction = store.ReadString(key + "Direction", {}) == "Upload" ? TTransferDirection::Upload
                                                                               : TTransferDirection::Download;
        item.LocalPath = store.ReadBytes(key + "Local");
        item.RemoteFolder = store.ReadBytes(key + "RemoteFolder");
        item.RemoteName = store.ReadBytes(key + "RemoteName");
        const QString kind = store.ReadString(key + "Kind", {});
        item.Folder = kind == "Folder";
        item.Link = kind == "Link";
        if (!item.Site.isEmpty() && !item.LocalPath.empty() && !item.RemoteName.empty())
            rows.emplace_back(store.ReadString(key + "Owner", {}), std::move(item));
    }
    FKeeper->Journal().Import(rows);
    return true;
}

void TTransferRunner::SetJournal(std::unique_ptr<TQueueJournal> journal)
{
    FKeeper.reset();
    if (journal)
        FKeeper = std::make_unique<TQueueKeeper>(FQueue, std::move(journal), [this](const QString &line) {
            FNews.Log(line);
        });
}

void TTransferRunner::Save(TSettingsStore &store) const
{
    SaveOptions(store);
    SaveShared(store);
}

void TTransferRunner::SaveOptions(TSettingsStore &store) const
{
    store.WriteInteger("Transfers/Simultaneous", FSimultaneous);
    store.WriteInteger("Transfers/PreserveTimes", FOptions.PreserveTimes ? 1 : 0);
    store.WriteInteger("Transfers/Verify", FOptions.Verify ? 1 : 0);
    store.WriteInteger("Transfers/DownloadLimit", FOptions.DownloadLimit);
    store.WriteInteger("Transfers/UploadLimit", FOptions.UploadLimit);
    store.WriteInteger("Transfers/LimitsOn", FOptions.LimitsOn ? 1 : 0);
    store.WriteInteger("Transfers/TextAsAscii", FOptions.TextAsAscii ? 1 : 0);
    store.WriteString("Transfers/TextTypes", FOptions.TextTypes);
    Filters.Save(store);
}

uint64_t TTransferRunner::SharedRevision() const
{
    return FParts.Revision();
}

void TTransferRunner::SaveShared(TSettingsStore &store) const
{
    FParts.Save(store);
}
