#include "TransferWorker.h"

#include "FailureText.h"
#include "FileFacts.h"
#include "FileHash.h"
#include "FolderListing.h"
#include "IdException.h"
#include "IdGlobal.h"
#include "IdLocalPath.h"
#include "IdMainThreadQueue.h"
#include "IdStream.h"
#include "LineEnds.h"
#include "NameBytes.h"
#include "PartFile.h"
#include "RemoteName.h"
#include "RemoteTree.h"

#include <QScopeGuard>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>

using LocalPath::FolderPart;
using LocalPath::IsFolder;
using LocalPath::IsFile;
using LocalPath::NamePart;
using LocalPath::WithSlash;

TTransferWorker::TTransferWorker(TSessionMaker make) : FMake(std::move(make))
{
    FTimes.OnLog = [this](const QString &line) { Log(line); };
}

TTransferWorker::~TTransferWorker()
{
    // What the thread still reports while it ends goes nowhere.
    *FAlive = false;
    StopAndWait();
}

void TTransferWorker::SetTextTypes(const std::string &types)
{
    std::lock_guard lock(FMutex);
    FTextTypes = types;
}

bool TTransferWorker::IsText(const TJob &job)
{
    std::lock_guard lock(FMutex);
    return !FTextTypes.empty() && IsTextType(NamePart(job.LocalPath), FTextTypes);
}

void TTransferWorker::SetSession(const TSessionSettings &session)
{
    std::lock_guard lock(FMutex);
    FSession = session;
    FSessionChanged = true;
}

void TTransferWorker::Run(const TJob &job)
{
    {
        std::lock_guard lock(FMutex);
        FJob = job;
        FWaiting = true;
    }
    Start();
    FWake.notify_all();
}

bool TTransferWorker::TakeBack(int id)
{
    std::lock_guard lock(FMutex);
    if (!FJob || FJob->Id != id)
        return false;
    FJob.reset();
    FWaiting = false;
    return true;
}

void TTransferWorker::Cancel(int id)
{
    std::lock_guard lock(FMutex);
    if (id != 0 && FCurrentId == id) {
        FCancelled = true;
        if (FRemote)
            FRemote->Abort();
    }
}

void TTransferWorker::CancelCurrent()
{
    std::lock_guard lock(FMutex);
    if (FCurrentId != 0) {
        FCancelled = true;
        if (FRemote)
            FRemote->Abort();
    }
}

void TTransferWorker::StopAndWait()
{
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FWake.notify_all();
    CancelCurrent();
    TIdThread::StopAndWait();
}

void TTransferWorker::Post(std::function<void()> call)
{
    IdMainThreadQueue::Post([alive = FAlive, call = std::move(call)] {
        if (*alive)
            call();
    });
}

void TTransferWorker::Log(const QString &line)
{
    Post([this, line] {
        if (OnLog)
            OnLog(line);
    });
}

void TTransferWorker::RunOnce()
{
    std::unique_lock lock(FMutex);
    const bool woken =
        FWake.wait_for(lock, std::chrono::milliseconds(IdleLogout), [this] { return FJob || FStopping; });
    if (FStopping)
        return;
    if (!woken) {
        // A while without work: the server need not keep the session.
        lock.unlock();
        if (FRemote && FRemote->Connected())
            FRemote->Close();
        return;
    }
    const TJob job = *FJob;
    FJob.reset();
    FWaiting = false;
    // Under the lock: a cancel comes before the job begins or for it.
    FCurrentId = job.Id;
    FBytes = 0;
    // A part left for the file counts as done until the transfer decides
    // where it starts: connecting and asking take a while, and "0 B of"
    // a file half here reads as lost.
    const TPartRecord *kept = job.Direction == TTransferDirection::Download ? PartOf(job, job.LocalPath) : nullptr;
    FOffset = kept ? kept->Length : 0;
    FCancelled = false;
    lock.unlock();
    Post([this, id = job.Id] {
        if (OnStarted)
            OnStarted(id);
    });

    QString reason;
    TOutcome outcome = Process(job, reason);
    // A server that requires TLS session reuse may refuse the data
    // connection after a cancelled one cut its session (522): once, on a
    // fresh connection, the job goes again.
    if (outcome == TOutcome::Failed && FSessionRefused && FAfterCancel && !FCancelled) {
        Log(QStringLiteral("Trying again on a new connection."));
        if (FRemote && FRemote->Connected())
            FRemote->Disconnect();
        outcome = Process(job, reason);
    }
    FAfterCancel = outcome == TOutcome::Cancelled;
    lock.lock();
    // A cancel that came after the job's end is for no one.
    if (FRemote)
        FRemote->ClearAbort();
    FCurrentId = 0;
    lock.unlock();
    Post([this, id = job.Id, outcome, reason] {
        if (OnEnded)
            OnEnded(id, outcome, reason);
    });
}

void TTransferWorker::FinishLoop()
{
    if (FRemote && FRemote->Connected())
        FRemote->Close();
}

void TTransferWorker::EnsureLoggedIn()
{
    std::unique_lock lock(FMutex);
    if (!FSessionChanged && FRemote && FRemote->Connected())
        return;
    FSessionChanged = false;
    const TSessionSettings session = FSession;
    std::unique_ptr<TRemoteSession> old = std::move(FRemote);
    lock.unlock();
    if (old && old->Connected())
        old->Close();
    old.reset();
    FFolder.clear();
    FMadeFolders.clear();
    FTimes.Reset();
    std::unique_ptr<TRemoteSession> remote = FMake(session);
    remote->OnProgress = [this](int64_t count) { FBytes = count; };
    remote->OnNotice = [this](const std::string &text) {
        Post([this, line = QString::fromStdString(text)] {
            if (OnNotice)
                OnNotice(line);
        });
    };
    lock.lock();
    FRemote = std::move(remote);
    // A cancel that came while there was no connection holds for this one.
    if (FCancelled)
        FRemote->Abort();
    lock.unlock();
    FRemote->Connect(session);
}

void TTransferWorker::EnterFolder(const std::string &folder, bool create)
{
    if (folder == FFolder)
        return;
    FFolder.clear();
    try {
        FRemote->EnterFolder(folder);
    } catch (const EIdProtocolReplyError &) {
        const std::string parent = RemoteParent(folder);
        if (!create || parent.empty() || parent == folder)
            throw;
        EnterFolder(parent, true);
        try {
            FRemote->MakeFolder(folder);
            FMadeFolders.insert(folder);
        } catch (const EIdProtocolReplyError &) {
            // Another connection of ours may have made it meanwhile: the
            // change into it tells.
        }
        FRemote->EnterFolder(folder);
    }
    FFolder = folder;
}

void TTransferWorker::ProcessFolder(const TJob &job)
{
    const std::string folder = RemoteJoin(job.RemoteFolder, job.RemoteName);
    if (job.Direction == TTransferDirection::Upload) {
        EnterFolder(folder, true);
        return;
    }
    // Where the files go comes first: a listing with no place is no use.
    if (::mkdir(job.LocalPath.c_str(), 0777) != 0 && !(errno == EEXIST && IsFolder(job.LocalPath)))
        throw EFileStreamError("Cannot create the folder \"" + job.LocalPath + "\". " + std::strerror(errno) + ".");
    const auto listed = [this, id = job.Id](std::vector<TListedEntry> &&entries, bool more) {
        Post([this, id, entries = std::move(entries), more]() mutable {
            if (OnListed)
                OnListed(id, std::move(entries), more);
        });
    };
    // The download has queued all it may: nothing here would be.
    if (job.Room == 0)
        return listed({}, true);
    EnterFolder(folder, false);
    // What the queue takes of each entry, and no more than it has room
    // for: a listing of millions is held until the queue has it.
    TFolderListingLimits limits = ListingLimits;
    limits.MaxEntries = std::min(limits.MaxEntries, job.Room);
    std::vector<TListedEntry> entries;
    const TFolderListing listing = FRemote->List(
        limits,
        [&entries](TListingEntry &&entry) {
            entries.push_back({std::move(entry.Name), entry.Size, entry.Seconds, entry.IsFolder, entry.IsLink});
        },
        nullptr);
    // Cut at the room the download has left: the queue says so, once.
    const bool full = listing.Cut == TFolderListing::ctEntries && limits.MaxEntries < ListingLimits.MaxEntries;
    listed(std::move(entries), full);
    QStringList notes = ListingNotes(listing, limits, QStringLiteral("only the first are queued"));
    // A folder that comes in part has not come: the item says so.
    const QString cut = listing.Cut != TFolderListing::ctNone ? notes.takeLast() : QString();
    for (const QString &note : notes)
        Log(RemoteDisplayName(folder) + ": " + note);
    if (!cut.isEmpty() && !full)
        throw ETransferFailed(cut);
}

TTransferWorker::TOutcome TTransferWorker::DeleteFolder(const TJob &job, QString &reason)
{
    TRemoteWalkRules rules;
    rules.Limits = ListingLimits;
    rules.Stop = [this] { return bool(FCancelled); };
    FFolder.clear();
    const TRemoteDeletion deletion = DeleteRemoteTree(
        *FRemote, job.RemoteFolder, job.RemoteName, rules,
        [this](const QString &question) {
            bool yes = false;
            RunInMainThread([&] { yes = *FAlive && OnConfirm && OnConfirm(question); });
            return yes;
        },
        [this](const QString &line) { Log(line); });
    reason = deletion.Reason;
    return deletion.Result == TRemoteDeletion::Deleted    ? TOutcome::Done
           : deletion.Result == TRemoteDeletion::Declined ? TOutcome::Skipped
                                                          : TOutcome::Failed;
}

const TPartRecord *TTransferWorker::PartOf(const TJob &job, const std::string &target)
{
    if (!job.Parts)
        return nullptr;
    const auto found = job.Parts->find(target);
    return found == job.Parts->end() ? nullptr : &found->second;
}

bool TTransferWorker::LeadsToFolder(const std::string &folder)
{
    // Only a folder can be entered. The way back is by absolute name.
    try {
        FRemote->EnterFolder(folder);
    } catch (const EIdProtocolReplyError &) {
        return false;
    }
    FFolder.clear();
    return true;
}

std::optional<std::string> TTransferWorker::Target(const TJob &job, TFacts &facts)
{
    const bool download = job.Direction == TTransferDirection::Download;
    const std::string name = download ? NamePart(job.LocalPath) : job.RemoteName;
    if (job.Retry && !download) {
        facts.RemoteSize = FRemote->Size(name);
        facts.Resume = facts.RemoteSize > 0 && facts.RemoteSize < facts.Size;
    }
    if (job.Confirmed || job.Retry)
        return name;
    // The owner keeps "Apply to all" for the whole queue: this guard asks
    // each time.
    if (!FGuard) {
        FGuard.emplace(
            [this](TOverwriteQuestion question) {
                if (FDescribe)
                    FDescribe(question);
                // One question at a time, whichever connection asks: the
                // others wait here, and "Apply to all" may answer theirs.
                static std::mutex asking;
                const std::lock_guard one(asking);
                TOverwriteChoice choice;
                RunInMainThread([&] {
                    if (*FAlive && OnAskOverwrite)
                        choice = OnAskOverwrite(question);
                });
                return choice;
            },
            job.Several);
    }
    FGuard->SetSeveral(job.Several);
    // What the description knows lives in this call.
    const auto forget = qScopeGuard([this] { FDescribe = nullptr; });
    if (download) {
        const std::string folder = WithSlash(FolderPart(job.LocalPath));
        const QString place = "in " + TextFromBytes(folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder);
        facts.Asked = IsFile(folder + name);
        FDescribe = [&](TOverwriteQuestion &question) {
            question.Existing = LocalFileFacts(folder + name);
            // Small files go without MDTM; asked now, the question shows it.
            const std::string time = facts.Time.empty() ? FRemote->ModificationTime(job.RemoteName) : facts.Time;
            question.Incoming = FileFacts("On the server", facts.Size, ServerTime(time));
        };
        return FGuard->Target(
            name, place, [&folder](const std::string &candidate) { return IsFile(folder + candidate); },
            [&](const std::string &candidate) {
                const TPartRecord *part = PartOf(job, folder + candidate);
                return part && TPartFile::Resumable(*part, facts.Size, facts.Time) > 0;
            },
            &facts.Resume);
    }
    const QString place = "on the server in " + RemoteDisplayName(job.RemoteFolder);
    FDescribe = [&](TOverwriteQuestion &question) {
        // The size came with the check for a resume, just before.
        question.Existing = FileFacts("On the server", facts.RemoteSize, ServerTime(FRemote->ModificationTime(name)));
        question.Incoming = LocalFileFacts(job.LocalPath);
    };
    return FGuard->Target(
        name, place,
        [this, &job](const std::string &candidate) {
            if (job.Listed && job.Listed->count(candidate) > 0)
                return true;
            // A folder this connection made holds only what came after.
            if (FMadeFolders.count(job.RemoteFolder) > 0)
                return false;
            return FRemote->Size(candidate) >= 0;
        },
        [&](const std::string &candidate) {
            // A shorter file of that name on the server: the rest can follow.
            facts.RemoteSize = FRemote->Size(candidate);
            return facts.RemoteSize > 0 && facts.RemoteSize < facts.Size;
        },
        &facts.Resume);
}

void TTransferWorker::Download(const TJob &job, const std::string &local, const TFacts &facts)
{
    const QString name = RemoteDisplayName(job.RemoteName);
    // A folder of that name: nothing is sent, nothing replaced.
    if (IsFolder(local))
        throw EFileStreamError("Cannot create file " + local);
    // A part this program left goes on where it stopped, unless the user
    // chose to start afresh over an existing file.
    // What a run killed left of this file before its record was kept.
    if (job.Parts)
        FLeftBehind.Discard(local, *job.Parts);
    const TPartRecord *before = PartOf(job, local);
    TPartFile part(local, facts.Size, facts.Time, before, !(facts.Asked && !facts.Resume));
    const int64_t offset = part.Offset();
    // A new part is recorded as soon as it is made: a run killed on the
    // way leaves no part that no record points to.
    std::optional<TPartRecord> started = part.Record(true);
    const bool recorded = before || started;
    if (started && (!before || before->Path != started->Path))
        Post([this, local, started = std::move(started)] {
            if (OnPart)
                OnPart(local, started);
        });
    // However it ends, the owner learns what is left to resume from.
    const auto tell = qScopeGuard([this, &part, &local, recorded] {
        std::optional<TPartRecord> kept = part.Record();
        if (recorded || kept)
            Post([this, local, kept = std::move(kept)] {
                if (OnPart)
                    OnPart(local, kept);
            });
    });
    TFileStream handle(part.TakeHandle(), part.Path());
    THashingStream hashed(handle, VerifyFiles ? FRemote->HashKind() : THashKind::None,
                          [&part] { return std::make_unique<TFileStream>(part.Path(), TFileStream::fmOpenRead); });
    {
        TLimitedStream file(hashed, *DownloadLimit, FCancelled);
        file.SetPosition(offset);
        FOffset = offset;
        if (offset > 0)
            Log(QStringLiteral("Resuming %1 at byte %2.").arg(name).arg(offset));
        try {
            FRemote->Get(job.RemoteName, file, offset, facts.Size);
        } catch (const ERemoteResumeRefused &refusal) {
            Log(QStringLiteral("The server would not resume (%1): %2 starts again from the beginning.")
                    .arg(QString::fromStdString(refusal.what()), name));
            part.Truncate();
            file.SetPosition(0);
            FOffset = 0;
            FRemote->Get(job.RemoteName, file, 0, facts.Size);
        }
    }
    const int64_t arrived = part.Length();
    if (facts.Size >= 0 && arrived != facts.Size) {
        part.Truncate();  // no resume can mend it
        throw EFileStreamError(QStringLiteral("%1 bytes arrived of the server's %2.")
                                   .arg(arrived)
                                   .arg(facts.Size)
                                   .toStdString());
    }
    // A file that differs from the server's stays a part: not in the
    // target's place, and started afresh by a retry.
    Verified(job, VerifyFile(*FRemote, job.RemoteName, hashed, arrived, true));
    part.Commit(true);
}

void TTransferWorker::Upload(const TJob &job, const std::string &remote, const TFacts &facts)
{
    TFileStream handle(job.LocalPath, TFileStream::fmOpenRead);
    THashingStream hashed(handle, VerifyFiles ? FRemote->HashKind() : THashKind::None,
                          [&job] { return std::make_unique<TFileStream>(job.LocalPath, TFileStream::fmOpenRead); });
    TLimitedStream file(hashed, *UploadLimit, FCancelled);
    if (!facts.Resume) {
        FRemote->Put(file, remote, 0);
        Verified(job, VerifyFile(*FRemote, remote, hashed, facts.Size, false));
        return;
    }
    file.SetPosition(facts.RemoteSize);
    FOffset = facts.RemoteSize;
    Log(QStringLiteral("Resuming %1 at byte %2.").arg(TextFromBytes(NamePart(job.LocalPath))).arg(facts.RemoteSize));
    try {
        try {
            FRemote->Put(file, remote, facts.RemoteSize);
        } catch (const ERemoteResumeRefused &refusal) {
            if (!refusal.Appendable)
                throw;
            Log(QStringLiteral("The server would not restart the upload (%1): the rest is appended.")
                    .arg(QString::fromStdString(refusal.what())));
            file.SetPosition(facts.RemoteSize);
            FRemote->Append(file, remote);
        }
    } catch (const ERemoteResumeRefused &refusal) {
        Log(QStringLiteral("The server would not resume the upload (%1): it starts again from the beginning.")
                .arg(QString::fromStdString(refusal.what())));
        FOffset = 0;
        file.SetPosition(0);
        FRemote->Put(file, remote, 0);
    }
    const int64_t arrived = FRemote->Size(remote);
    if (arrived != facts.Size)
        throw EFileStreamError(QStringLiteral("the server's file has %1 bytes of %2.").arg(arrived).arg(facts.Size).toStdString());
    Verified(job, VerifyFile(*FRemote, remote, hashed, facts.Size, false));
}

void TTransferWorker::Verified(const TJob &job, const std::string &algorithm)
{
    if (algorithm.empty())
        return;
    Log(QStringLiteral("The server's %1 matches.").arg(QString::fromStdString(algorithm)));
    Post([this, id = job.Id, algorithm = QString::fromStdString(algorithm)] {
        if (OnVerified)
            OnVerified(id, algorithm);
    });
}

TTransferWorker::TFacts TTransferWorker::FactsOf(const TJob &job)
{
    const bool download = job.Direction == TTransferDirection::Download;
    TFacts facts;
    facts.Size = !download ? LocalPath::SizeOf(job.LocalPath) : job.Size >= 0 ? job.Size : FRemote->Size(job.RemoteName);
    // With the size, the time tells whether a part from before is of
    // this very file.
    // A small file is not worth a part kept for later, nor the round trip.
    if (download && facts.Size >= ResumableSize)
        facts.Time = FRemote->ModificationTime(job.RemoteName);
    Post([this, id = job.Id, size = facts.Size] {
        if (OnSized)
            OnSized(id, size);
    });
    return facts;
}

void TTransferWorker::Move(const TJob &job, const std::string &target, const TFacts &facts, const QString &name,
                           QString &kept)
{
    const bool text = IsText(job);
    if (job.Direction != TTransferDirection::Download) {
        Log((text ? "Text Transfer Started: " : "Transfer Started: ") + name);
        text ? PutText(*FRemote, job.LocalPath, target, *UploadLimit, FCancelled) : Upload(job, target, facts);
        if (PreserveTimes)
            FTimes.Uploaded(*FRemote, job.LocalPath, target);
        return;
    }
    const std::string local = WithSlash(FolderPart(job.LocalPath)) + target;
    if (IdeHooksLog)
        Log("Binary Transfer Started: \r\n    Source:      " + name + "\r\n    Destination: " + TextFromBytes(local) +
            "\r\n    File Size:   " + QString::number(facts.Size < 0 ? int64_t(4294967295) : facts.Size));
    else
        Log((text ? "Text Transfer Started: " : "Transfer Started: ") + name);
    // A failed download leaves an existing file as it was.
    if (IsFile(local))
        kept = QStringLiteral("The existing local file was kept.");
    // The time goes out with the transfer's commands rather than after.
    if (PreserveTimes && job.Time.empty() && facts.Time.empty())
        FRemote->Prefetch(TRemoteSession::TFact::ModificationTime, job.RemoteName);
    text ? GetText(*FRemote, job.RemoteName, local, *DownloadLimit, FCancelled) : Download(job, local, facts);
    if (PreserveTimes)
        FTimes.Downloaded(*FRemote, job.RemoteName, job.Time.empty() ? facts.Time : job.Time, local);
}

bool TTransferWorker::ArrivedBefore(const TJob &job, const TFacts &facts)
{
    // Only the same size and the same second count: anything less is
    // asked about, as any file in the way. The time is asked last, and
    // only then: a small file's transfer does not ask it.
    if (facts.Size < 0)
        return false;
    if (job.Direction == TTransferDirection::Download) {
        // Its part still there: a download over it had begun. A record
        // alone may be from the save before its part became the file.
        const TPartRecord *part = PartOf(job, job.LocalPath);
        if (!IsFile(job.LocalPath) || (part && IsFile(part->Path)) || LocalPath::SizeOf(job.LocalPath) != facts.Size)
            return false;
        const std::string time = !facts.Time.empty() ? facts.Time
                                 : !job.Time.empty() ? job.Time
                                                     : FRemote->ModificationTime(job.RemoteName);
        return !time.empty() && LocalFileSeconds(job.LocalPath) == SecondsOfTimeText(time);
    }
    const int64_t seconds = LocalFileSeconds(job.LocalPath);
    return seconds >= 0 && FRemote->Size(job.RemoteName) == facts.Size &&
           SecondsOfTimeText(FRemote->ModificationTime(job.RemoteName)) == seconds;
}

TTransferWorker::TOutcome TTransferWorker::Process(const TJob &job, QString &reason)
{
    const bool download = job.Direction == TTransferDirection::Download;
    const bool remove = job.Direction == TTransferDirection::Delete;
    const QString what = download ? QStringLiteral("Download") : remove ? QStringLiteral("Deletion") : QStringLiteral("Upload");
    const QString name = download || remove ? RemoteDisplayName(job.RemoteName) : TextFromBytes(NamePart(job.LocalPath));
    QString kept;
    FSessionRefused = false;
    try {
        try {
            EnsureLoggedIn();
        } catch (...) {
            std::lock_guard lock(FMutex);
            reason = QStringLiteral("%1 of %2 failed: %3")
                         .arg(what, name,
                              ConnectFailureText(std::current_exception(), QString::fromStdString(FSession.Host),
                                                 FSession.Port));
            Log(reason);
            return FailedOnTheWay(std::current_exception()) ? TOutcome::Interrupted : TOutcome::Failed;
        }
        if (remove)
            return DeleteFolder(job, reason);
        if (job.Folder) {
            ProcessFolder(job);
            return TOutcome::Done;
        }
        EnterFolder(job.RemoteFolder, !download);
        if (job.Link && LeadsToFolder(RemoteJoin(job.RemoteFolder, job.RemoteName))) {
            reason = "Skipped \"" + name + "\": a link to a folder is not followed.";
            Log(reason);
            return TOutcome::Skipped;
        }
        TFacts facts = FactsOf(job);
        if (job.Recovered && ArrivedBefore(job, facts)) {
            reason = QStringLiteral("%1 had arrived before the last run ended.").arg(name);
            Log(reason);
            return TOutcome::Done;
        }
        const std::optional<std::string> target = Target(job, facts);
        if (target)
            Post([this, id = job.Id, path = download ? WithSlash(FolderPart(job.LocalPath)) + *target : *target] {
                if (OnTarget)
                    OnTarget(id, path);
            });
        if (!target) {
            Log(download ? "Skipped \"" + name + "\": the local file of that name was kept."
                         : "Skipped \"" + name + "\": the file of that name on the server was kept.");
            reason = QStringLiteral("Skipped: the file of that name was kept.");
            return TOutcome::Skipped;
        }
        Move(job, *target, facts, name, kept);
        Log("Transfer Complete.");
        return TOutcome::Done;
    } catch (const EIdTransferAborted &) {
        reason = QStringLiteral("%1 of %2 was cancelled.").arg(what, name) + (kept.isEmpty() ? QString() : ' ' + kept);
        Log(reason);
        return TOutcome::Cancelled;
    } catch (...) {
        reason = TransferFailureText(what, name, std::current_exception(), kept);
        Log(reason);
        FSessionRefused = RefusedSessionReuse(std::current_exception());
        return FailedOnTheWay(std::current_exception()) ? TOutcome::Interrupted : TOutcome::Failed;
    }
}
