// What the queue still has to move, on disk as it changes, so that a run
// killed (or a power cut) leaves its queue behind for the next run to
// offer again. SQLite in WAL mode: each group of changes is one
// transaction, so a crash at any byte leaves the last group whole or not
// at all. Every window of the program shares the file; each writes rows
// under its own run's name, and a site's rows are taken only once the run
// that left them has ended (or set them aside). Main thread only.
#pragma once

#include "IdException.h"
#include "TransferQueue.h"

#include <QString>

#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The journal could not be opened or written: the disk, its rights, a
// damaged file.
class EQueueJournal : public EIdException {
public:
    using EIdException::EIdException;
};

class TQueueJournal {
public:
    // Opens the journal at `path`, made with its folder where there is
    // none; `run` names this run's rows.
    explicit TQueueJournal(const QString &path, QString run);
    ~TQueueJournal();
    TQueueJournal(const TQueueJournal &) = delete;
    TQueueJournal &operator=(const TQueueJournal &) = delete;

    // One group of changes, durable when it returns: the items this run
    // still has to move, written whole, and the ids it no longer has;
    // `dropTaken`: and the rows it took, now queued again among the kept.
    void Write(const std::vector<const TTransferItem *> &kept, const std::vector<int> &gone, bool dropTaken = false);
    // This run's rows set aside, unfinished: whoever logs in to their site
    // next is offered them.
    void SetAside();
    // Rows of a site that no running window holds: set aside, or left by a
    // run that has ended.
    size_t Left(const QString &site);
    // Takes those rows, in the order they were queued; those of a run that
    // ended unclean come Recovered. They stay in the journal as this run's
    // taken ones until a write drops them, so that a kill in between loses
    // nothing, and no other window takes them meanwhile.
    std::vector<TTransferItem> Take(const QString &site);
    void DropTaken();
    // Rows from another store (the settings of earlier versions), each
    // under the run that left it; a row the journal holds already is not
    // added twice.
    void Import(const std::vector<std::pair<QString, TTransferItem>> &rows);

    // How many rows this run holds.
    size_t Held();

    const QString &Path() const { return FPath; }
    const QString &Run() const { return FRun; }

private:
    void Exec(const char *sql);
    sqlite3_stmt *Prepare(const char *sql);
    // Throws with the library's words for what failed.
    [[noreturn]] void Fail(const char *what);
    // The runs with rows of `site` that may be taken.
    std::vector<QString> Ended(const QString &site);

    QString FPath, FRun;
    // The run name of the rows this run took.
    QString Taken() const { return FRun + "~taken"; }
    sqlite3 *FDb = nullptr;
};
