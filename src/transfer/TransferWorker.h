// The transfer worker: a thread with a remote session of its own, so the
// window's connection stays free for browsing while files move. It logs
// in when a job comes (with the session's settings, in the session's
// protocol), runs one job at a time (the size, the overwrite question,
// the download through a part file, the log lines), and logs out after a
// while without work.
//
// It never touches a widget: what it has to say (a size, a log line, the
// end of a job) reaches its owner on the main thread through the
// main-thread queue; an overwrite question is asked there while it waits.
#pragma once

#include "FileTimes.h"
#include "FolderListing.h"
#include "IdThread.h"
#include "OverwriteGuard.h"
#include "PartFile.h"
#include "Protocols.h"
#include "SessionSettings.h"
#include "SpeedLimit.h"
#include "TransferQueue.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class TTransferWorker : public TIdThread {
public:
    // An item as the queue had it when its turn came (the worker's own
    // copy: the queue goes on changing), and what the runner adds.
    struct TJob : TTransferItem {
        TJob() = default;
        explicit TJob(const TTransferItem &item) : TTransferItem(item) {}
        // More jobs wait behind this one: "Apply to all" is offered.
        bool Several = false;
        // A retry: the question was answered the first time; an upload
        // goes on from what the server has.
        bool Retry = false;
        // The parts of downloads this program left, by target: a download
        // goes on from its target's part only.
        std::shared_ptr<const TPartRecords> Parts;
        // The most entries a folder's listing may still queue: what one
        // download may queue, less what it has.
        size_t Room = SIZE_MAX;
    };
    // Interrupted: failed on the way (the network, the connection, a 4xx
    // answer), where a retry may do; Failed: refused (5xx) or a local
    // error, where it would not.
    enum class TOutcome { Done, Skipped, Failed, Interrupted, Cancelled };

    // `make` gives each login its session: the protocol's, as its table
    // says, unless a test brings its own.
    explicit TTransferWorker(TSessionMaker make = MakeSession);
    ~TTransferWorker() override;

    // Set before the first job: downloads are logged in the lines an IDE
    // reads ("Binary Transfer Started: ...").
    bool IdeHooksLog = false;
    // Any thread: a downloaded file gets the server's time, an uploaded
    // one the local file's.
    std::atomic<bool> PreserveTimes{true};
    // Any thread: a file moved is checked against the server's digest of
    // it, where the server makes one.
    std::atomic<bool> VerifyFiles{true};
    // The speed limits the workers share, each direction its own. Set
    // before the first job.
    TSpeedLimit *DownloadLimit = &FNoLimit, *UploadLimit = &FNoLimit;
    // Any thread: files of these types (";"-separated extensions) move as
    // text; "" none.
    void SetTextTypes(const std::string &types);

    // Main thread. The session the next login uses.
    void SetSession(const TSessionSettings &session);
    // Hands a job over: it starts at once, or as soon as the one in
    // progress ends, without waiting for the main thread (which small
    // files would otherwise wait on, one by one). One job waits at most.
    void Run(const TJob &job);
    // Nothing waits to start: the worker takes a job.
    bool Free() const { return !FWaiting; }
    // Any thread: a job that waits to start is taken back (true), unless
    // it has begun.
    bool TakeBack(int id);
    // Any thread: the job in progress ends and reports Cancelled, if it is
    // that job.
    void Cancel(int id);
    // Any thread: ends the job in progress; it reports Cancelled.
    void CancelCurrent();
    // The bytes the job in progress has moved.
    int64_t BytesDone() const { return FOffset + FBytes; }
    // Ends the job in progress and the thread.
    void StopAndWait() override;

    // Called on the main thread.
    // A job begins (a waiting one, as the one before it ended).
    std::function<void(int id)> OnStarted;
    std::function<void(int id, int64_t size)> OnSized;
    // Where the file goes, as the question decided (a download's local
    // path, an upload's remote name).
    std::function<void(int id, const std::string &target)> OnTarget;
    // The file moved matches the server's digest ("SHA-256").
    std::function<void(int id, const QString &algorithm)> OnVerified;
    std::function<void(const QString &line)> OnLog;
    // What the connection says of itself once logged in: each worker's
    // connection may say the same, which the owner tells once.
    std::function<void(const QString &line)> OnNotice;
    // A folder download's listing: what the folder holds, and whether it
    // held more than the download had room to queue.
    std::function<void(int id, std::vector<TListedEntry> &&entries, bool more)> OnListed;
    // A download's part: kept for a resume (the record), or gone.
    std::function<void(const std::string &target, const std::optional<TPartRecord> &part)> OnPart;
    // How a job ended; `reason` says why it failed or stopped.
    std::function<void(int id, TOutcome outcome, const QString &reason)> OnEnded;
    // Called on the main thread while the worker waits for the answer.
    std::function<TOverwriteChoice(const TOverwriteQuestion &)> OnAskOverwrite;
    // A yes-or-no question (the deletion of a folder with its contents).
    std::function<bool(const QString &question)> OnConfirm;

    // A download this large or larger keeps what arrived for a resume.
    static constexpr int64_t ResumableSize = 1 << 20;

    // A session without work ends after this long (milliseconds).
    int IdleLogout = 30000;
    // What a folder's listing may hold before it is cut short. Set before
    // the first job.
    TFolderListingLimits ListingLimits;

protected:
    void RunOnce() override;
    void FinishLoop() override;

private:
    // The steps of one job, on the worker thread.
    TOutcome Process(const TJob &job, QString &reason);
    // The file's size and time, as the job's way of moving it needs them.
    struct TFacts;
    TFacts FactsOf(const TJob &job);
    // The move itself, to the target the question left; `name` is the
    // file's as the log shows it, `kept` says what became of a local file
    // a failed download found there.
    void Move(const TJob &job, const std::string &target, const TFacts &facts, const QString &name, QString &kept);
    // A folder: listed and made locally (download), or made on the server.
    void ProcessFolder(const TJob &job);
    // A remote folder with all it holds, once the user said yes to the
    // counts.
    TOutcome DeleteFolder(const TJob &job, QString &reason);
    // Whether a listed link leads to a folder (which is not followed).
    bool LeadsToFolder(const std::string &folder);
    void EnsureLoggedIn();
    // Into the folder; an upload's folder that is missing is made, with
    // the folders above it.
    void EnterFolder(const std::string &folder, bool create);
    // What a file's move goes by: its size (the server's for a download,
    // the local one for an upload), the server's time for a download, the
    // size on the server of an upload's file of that name, and whether the
    // user was asked, and chose Resume.
    struct TFacts {
        int64_t Size = -1;
        std::string Time;
        int64_t RemoteSize = -1;
        bool Asked = false, Resume = false;
    };
    std::optional<std::string> Target(const TJob &job, TFacts &facts);
    // A recovered job's file found whole at its target, as it would be
    // had it arrived just before the last run ended.
    bool ArrivedBefore(const TJob &job, const TFacts &facts);
    // The download through its resumable part file, and the upload, each
    // going on from before where that is the choice.
    void Download(const TJob &job, const std::string &local, const TFacts &facts);
    // The part the job's records name for a target, or none.
    static const TPartRecord *PartOf(const TJob &job, const std::string &target);
    void Upload(const TJob &job, const std::string &remote, const TFacts &facts);
    // Tells the file moved was proven whole, where it was ("SHA-256").
    void Verified(const TJob &job, const std::string &algorithm);
    // A file of the text types, moved in ASCII.
    bool IsText(const TJob &job);
    void Post(std::function<void()> call);
    void Log(const QString &line);

    const TSessionMaker FMake;
    // The connection; swapped at a login under the mutex, which a cancel
    // from another thread takes.
    std::unique_ptr<TRemoteSession> FRemote;
    std::mutex FMutex;
    std::condition_variable FWake;
    // The job that waits to start, and the one in progress (0: none).
    std::optional<TJob> FJob;
    int FCurrentId = 0;
    std::atomic<bool> FWaiting{false};
    TSessionSettings FSession;
    bool FSessionChanged = false;
    bool FStopping = false;
    std::atomic<int64_t> FBytes{0};
    // Where a resumed transfer went on from.
    std::atomic<int64_t> FOffset{0};
    // The user cancelled the job in progress.
    std::atomic<bool> FCancelled{false};
    // The job before was cancelled; this one's data connection was refused
    // for want of TLS session reuse.
    bool FAfterCancel = false, FSessionRefused = false;
    // The folder the worker's connection is in, as it asked for it.
    std::string FFolder;
    // The folders this session made: nothing was in them before.
    std::unordered_set<std::string> FMadeFolders;
    TFileTimes FTimes;
    // The worker's thread alone.
    TLeftBehindParts FLeftBehind;
    TSpeedLimit FNoLimit;
    std::string FTextTypes;  // under FMutex
    std::optional<TOverwriteGuard> FGuard;
    // Fills in both files' sizes and dates when the guard asks.
    std::function<void(TOverwriteQuestion &)> FDescribe;
    // Posted calls that arrive after the worker is gone do nothing.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
