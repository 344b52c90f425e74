// The transfer queue at work: hands its items to the workers, retries what
// failed on the way, tells how they go and how each ended (the progress,
// the speeds, a remote folder changed by uploads), and keeps what a
// disconnect or the window's close left unfinished, to offer it at the
// next login to that site, in this run or the next. Whoever shows it
// hears through TTransferNews.
#pragma once

#include "NameFilters.h"
#include "PartRegistry.h"
#include "QueueKeeper.h"
#include "RateMeter.h"
#include "TransferNews.h"
#include "TransferQueue.h"
#include "TransferWorker.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class TSettingsStore;

class TTransferRunner : public QObject {
    Q_OBJECT
public:
    // `ideHooksLog`: downloads are logged in the lines an IDE reads;
    // `make` gives each worker's login its session.
    explicit TTransferRunner(TTransferNews &news, bool ideHooksLog = false, const TSessionMaker &make = MakeSession);
    ~TTransferRunner() override;

    TTransferQueue &Queue() { return FQueue; }
    const TTransferQueue &Queue() const { return FQueue; }

    // At login: whom transfers log in as, under which site key
    // ("user@address") they are kept, and the site's name as the user
    // knows it ("" for the key).
    void SetSession(const TSessionSettings &session, const QString &site, const QString &name = {});
    const QString &Site() const { return FSite; }
    const TSessionSettings &Session() const { return FSession; }
    void SetPassive(bool passive);
    // How many transfers run at once, each on a connection of its own.
    static constexpr int MaxSimultaneous = 4;
    // The answer to every "file exists" question, set in Settings; none:
    // the user is asked.
    std::optional<TOverwriteAnswer> DefaultOverwrite;
    int Simultaneous() const { return FSimultaneous; }
    void SetSimultaneous(int count);
    // A site's own limit while it is connected (0: none), which the
    // setting above keeps beside.
    void SetSiteLimit(int count);

    // What a transfer keeps of the file, and how fast it may go; the
    // limits hold for the transfers that run too.
    struct TOptions {
        bool PreserveTimes = true;
        // Files checked against the server's digest, where it makes one.
        bool Verify = true;
        // KiB/s for all transfers of a direction together; 0: none. Off,
        // neither holds, and both are kept for when they are on again.
        int DownloadLimit = 0, UploadLimit = 0;
        bool LimitsOn = true;
        // Files of these types move as text (FTP's ASCII type), when on.
        bool TextAsAscii = false;
        QString TextTypes = QStringLiteral("txt;htm;html;css;js;php;pl;py;sh;cgi;xml;json;csv;ini;conf;md");
        bool operator==(const TOptions &) const = default;
    };
    const TOptions &Options() const { return FOptions; }
    void SetOptions(const TOptions &options);

    // The filename filters folder transfers go by: what they hide is not
    // moved.
    TNameFilters Filters;

    // Queues the items of one request (a selection, a drop) and starts.
    void Enqueue(std::vector<TTransferItem> items);
    // Queues the deletion of a remote folder with all it holds: the worker
    // counts it and asks before anything goes.
    void DeleteFolder(const std::string &parent, const std::string &name);
    // The user's cancel: a queued item at once, the running one through
    // ABOR; a failed one is set aside.
    void Cancel(const std::vector<int> &ids);
    void RetryFailed();
    // Moves a queued item one place up (step -1) or down (+1).
    bool Move(int id, int step);
    bool Active() const { return FQueue.Active(); }

    // Ends the running transfer (its file kept as it was) and sets every
    // pending item aside, unfinished, with `why` as its reason; with a
    // journal, the failed ones too.
    void StopAll(const QString &why);
    // At login: what was left unfinished for this site, offered again.
    void OfferUnfinished();

    // The progress and the speed start afresh.
    void ResetDisplay();

    // What a folder's listing may hold before it is cut short.
    void SetListingLimits(const TFolderListingLimits &limits);
    // The most files and folders one download of folders queues: a server
    // whose folders hold folders without end fills no memory with them.
    size_t MaxQueuedPerTransfer = 500'000;
    // Where the queue is kept as it changes, for a run that ends
    // unexpectedly and for what a disconnect sets aside; none: in memory
    // only. What the queue holds already is written too.
    void SetJournal(std::unique_ptr<TQueueJournal> journal);
    TQueueKeeper *Keeper() { return FKeeper.get(); }
    // The queue earlier versions kept in the settings, moved into the
    // journal: true when there was one to move.
    bool ImportKept(const TSettingsStore &store);

    void Load(const TSettingsStore &store);
    // What every window of the program shares in the store: the parts of
    // downloads, read again when another window changed them.
    void LoadShared(const TSettingsStore &store);
    void Save(TSettingsStore &store) const;
    // What every window shares alone (the parts), and a count that changes
    // whenever it does: a save need not gather it otherwise.
    void SaveShared(TSettingsStore &store) const;
    // The rest: the options, the filters.
    void SaveOptions(TSettingsStore &store) const;
    uint64_t SharedRevision() const;

    // What a listed folder's download queues: its files, then its folders,
    // but names that would lead out of it, which are logged.
    static std::vector<TTransferItem> FolderContents(const TTransferItem &folder, std::vector<TListedEntry> entries,
                                                     const std::function<void(const QString &)> &log);
    // A listing as its folder's download queues it: names that would lead
    // out of the folder dropped (and logged), the files first.
    static void SortListed(std::vector<TListedEntry> &entries, const std::function<void(const QString &)> &log);
    // The item an entry of the folder `remote` makes, going into `local`.
    static TTransferItem FolderItem(const std::string &remote, const std::string &local, TListedEntry &&entry);

    // A transfer that fails on the way is tried again this many times,
    // this long (ms) after, going on from where it stopped.
    static constexpr int MaxRetries = 2;
    int RetryDelay = 5000;

    // How often the progress is shown while a transfer runs (ms).
    static constexpr int TickInterval = 250;

private:
    void StartNext();
    void Ended(int id, TTransferWorker::TOutcome outcome, const QString &reason);
    // Puts an item that failed on the way back in line after a while.
    void RetryLater(int id);
    // A folder's contents queued behind it.
    void Listed(int id, std::vector<TListedEntry> entries, bool more);
    // What one download of folders may still queue.
    size_t RoomLeft(int batch) const;
    void Drained();
    void Tick();
    void ShowTotals();
    // Told once the last queued change to the item's folder has ended.
    void ShowChange(const TTransferItem &item);
    TOverwriteChoice AskOverwrite(const TOverwriteQuestion &question);

    TTransferNews &FNews;
    TTransferQueue FQueue;
    // A worker, the item it runs and the one it has at hand to run next,
    // the running item's clock and its speed of the last seconds.
    struct TSlot {
        std::unique_ptr<TTransferWorker> Worker;
        int Current = 0;
        int Next = 0;
        QElapsedTimer Clock;
        TRateMeter Rate;
        double Speed = 0;
    };
    TOptions FOptions;
    // Before the slots: their workers take from them to the end.
    TSpeedLimit FDownloadLimit, FUploadLimit;
    std::vector<TSlot> FSlots;
    void Started(TSlot &slot, int id);
    // The slot that runs an item or has it at hand.
    TSlot *SlotOf(int id);
    bool Running() const;
    // Held back for a retry, or at a worker's hand.
    bool Handed(int id) const;
    // The items at the workers' hands that have not begun go back in line.
    void TakeBack();
    int FSimultaneous = 2;
    int FSiteLimit = 0;
    TSessionSettings FSession;
    QString FSite, FSiteName;
    QTimer FTimer;
    bool FStopping = false;
    // An answer the user gave for all the files of the run.
    std::optional<TOverwriteChoice> FForAll;
    // The speed of all transfers that run.
    double FSpeed = 0;
    // What failed since the queue was last empty: one message then, which
    // names the first few and counts the rest.
    static constexpr qsizetype ShownFailures = 5;
    QStringList FFailures;
    size_t FFailureCount = 0;
    // This run of the queue (since it last rested): how long, and the
    // files and bytes it moved.
    QElapsedTimer FRunClock;
    int64_t FRunFiles = 0, FRunBytes = 0;
    // Downloads that failed on a full disk since the queue last rested:
    // their parts are offered for deletion then.
    std::vector<std::string> FFullDisk;
    void OfferToFreeDisk();
    // The folder of a target has (next to) no room left.
    static bool DiskFull(const std::string &target);
    static constexpr uint64_t FullBelow = 1 << 20;
    // Items of several downloads asked for at once: their batch, so the
    // end of the batch is told.
    std::map<int, int> FBatchSizes;
    // What the folders' listings queued so far, by batch.
    std::map<int, size_t> FBatchQueued;
    std::set<int> FBatchCut;
    std::unique_ptr<TQueueKeeper> FKeeper;
    // The parts downloads left, to go on from.
    TPartRegistry FParts;
    // What the workers' connections said in this session, told once.
    std::set<QString> FNoticesTold;
    // The retries each item had; those waiting for theirs are held back.
    std::map<int, int> FRetries;
    std::set<int> FHeld;
};
