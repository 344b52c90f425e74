#include "QueueJournal.h"

#include "RunIdentity.h"

#include <QDir>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <memory>

namespace {

// A statement made once per call and finalized however the call ends.
struct TFinalize {
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using TStatement = std::unique_ptr<sqlite3_stmt, TFinalize>;

enum TKind { kFile = 0, kFolder = 1, kLink = 2 };

void BindText(sqlite3_stmt *statement, int at, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

// Names are bytes, as the kernel and the server gave them.
void BindBytes(sqlite3_stmt *statement, int at, const std::string &bytes)
{
    sqlite3_bind_blob(statement, at, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
}

std::string ColumnBytes(sqlite3_stmt *statement, int at)
{
    const auto *data = static_cast<const char *>(sqlite3_column_blob(statement, at));
    return data ? std::string(data, size_t(sqlite3_column_bytes(statement, at))) : std::string();
}

QString ColumnText(sqlite3_stmt *statement, int at)
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(statement, at));
    return data ? QString::fromUtf8(data, sqlite3_column_bytes(statement, at)) : QString();
}

// The fields of a row, from `at` on: site, direction, kind, local, remote
// folder, remote name.
void BindItem(sqlite3_stmt *statement, int at, const TTransferItem &item)
{
    BindText(statement, at, item.Site);
    sqlite3_bind_int(statement, at + 1, item.Direction == TTransferDirection::Upload ? 1 : 0);
    sqlite3_bind_int(statement, at + 2, item.Folder ? kFolder : item.Link ? kLink : kFile);
    BindBytes(statement, at + 3, item.LocalPath);
    BindBytes(statement, at + 4, item.RemoteFolder);
    BindBytes(statement, at + 5, item.RemoteName);
}

// The run's process, without the window's number within it.
bool Running(const QString &run)
{
    return RunIdentity::Alive(run.section('#', 0, 0));
}

}  // namespace

TQueueJournal::TQueueJournal(const QString &path, QString run) : FPath(path), FRun(std::move(run))
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The library makes a handle even when it cannot open: closed however
    // this ends, as no destructor runs for a constructor that throws.
    try {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK)
            Fail("open");
        // Another window may be writing: wait for it a while, not fail.
        sqlite3_busy_timeout(FDb, 5000);
        Exec("PRAGMA journal_mode=WAL");
        // Each group is on disk when its commit returns, power cut included.
        Exec("PRAGMA synchronous=FULL");
        Exec("CREATE TABLE IF NOT EXISTS transfers("
             "seq INTEGER PRIMARY KEY,"  // the order of queueing
             "run TEXT NOT NULL,"        // whose queue holds it; '' set aside
             "id INTEGER NOT NULL,"      // its id in that run's queue
             "site TEXT NOT NULL, direction INTEGER NOT NULL, kind INTEGER NOT NULL,"
             "local BLOB NOT NULL, remote_folder BLOB NOT NULL, remote_name BLOB NOT NULL)");
        Exec("CREATE UNIQUE INDEX IF NOT EXISTS transfers_by_run ON transfers(run, id)");
        Exec("CREATE INDEX IF NOT EXISTS transfers_by_site ON transfers(site, run)");
    } catch (...) {
        sqlite3_close_v2(FDb);
        throw;
    }
}

TQueueJournal::~TQueueJournal()
{
    sqlite3_close_v2(FDb);
}

void TQueueJournal::Fail(const char *what)
{
    const QString text = QStringLiteral("The queue's journal %1 could not %2: %3")
                             .arg(QDir::toNativeSeparators(FPath), QLatin1String(what),
                                  QString::fromUtf8(FDb ? sqlite3_errmsg(FDb) : "out of memory"));
    throw EQueueJournal(text.toStdString());
}

void TQueueJournal::Exec(const char *sql)
{
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail("be written");
}

sqlite3_stmt *TQueueJournal::Prepare(const char *sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(FDb, sql, -1, &statement, nullptr) != SQLITE_OK)
        Fail("be read");
    return statement;
}

namespace {

// A transaction that is rolled back unless committed: a failed write
// leaves the journal as the last group did.
class TTransaction {
public:
    explicit TTransaction(sqlite3 *db) : FDb(db) {}
    ~TTransaction()
    {
        if (!FCommitted)
            sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void Commit() { FCommitted = true; }

private:
    sqlite3 *FDb;
    bool FCommitted = false;
};

}  // namespace

void TQueueJournal::Write(const std::vector<const TTransferItem *> &kept, const std::vector<int> &gone,
                          bool dropTaken)
{
    if (kept.empty() && gone.empty() && !dropTaken)
        return;
    // Immediate: a window that takes a site's rows meanwhile waits.
    Exec("BEGIN IMMEDIATE");
    TTransaction transaction(FDb);
    const TStatement put(Prepare(
        "INSERT INTO transfers(run, id, site, direction, kind, local, remote_folder, remote_name) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT(run, id) DO UPDATE SET "
        "site = excluded.site, direction = excluded.direction, kind = excluded.kind, local = excluded.local, "
        "remote_folder = excluded.remote_folder, remote_name = excluded.remote_name"));
    BindText(put.get(), 1, FRun);
    for (const TTransferItem *item : kept) {
        sqlite3_bind_int(put.get(), 2, item->Id);
        BindItem(put.get(), 3, *item);
        if (sqlite3_step(put.get()) != SQLITE_DONE)
            Fail("be written");
        sqlite3_reset(put.get());
    }
    const TStatement drop(Prepare("DELETE FROM transfers WHERE run = ?1 AND id = ?2"));
    BindText(drop.get(), 1, FRun);
    for (const int id : gone) {
        sqlite3_bind_int(drop.get(), 2, id);
        if (sqlite3_step(drop.get()) != SQLITE_DONE)
            Fail("be written");
        sqlite3_reset(drop.get());
    }
    if (dropTaken) {
        const TStatement taken(Prepare("DELETE FROM transfers WHERE run = ?1"));
        BindText(taken.get(), 1, Taken());
        if (sqlite3_step(taken.get()) != SQLITE_DONE)
            Fail("be written");
    }
    Exec("COMMIT");
    transaction.Commit();
}

void TQueueJournal::DropTaken()
{
    Write({}, {}, true);
}

void TQueueJournal::SetAside()
{
    // Set-aside rows of many runs share the run ''; their ids must differ.
    const TStatement aside(Prepare("UPDATE transfers SET run = '', id = -seq WHERE run = ?1"));
    BindText(aside.get(), 1, FRun);
    if (sqlite3_step(aside.get()) != SQLITE_DONE)
        Fail("be written");
}

std::vector<QString> TQueueJournal::Ended(const QString &site)
{
    std::vector<QString> ended;
    const TStatement runs(Prepare("SELECT DISTINCT run FROM transfers WHERE site = ?1"));
    BindText(runs.get(), 1, site);
    while (sqlite3_step(runs.get()) == SQLITE_ROW)
        if (const QString run = ColumnText(runs.get(), 0); run.isEmpty() || !Running(run))
            ended.push_back(run);
    return ended;
}

size_t TQueueJournal::Left(const QString &site)
{
    size_t left = 0;
    const TStatement count(Prepare("SELECT count(*) FROM transfers WHERE site = ?1 AND run = ?2"));
    BindText(count.get(), 1, site);
    for (const QString &run : Ended(site)) {
        BindText(count.get(), 2, run);
        if (sqlite3_step(count.get()) == SQLITE_ROW)
            left += size_t(sqlite3_column_int64(count.get(), 0));
        sqlite3_reset(count.get());
    }
    return left;
}

size_t TQueueJournal::Held()
{
    const TStatement count(Prepare("SELECT count(*) FROM transfers WHERE run = ?1"));
    BindText(count.get(), 1, FRun);
    return sqlite3_step(count.get()) == SQLITE_ROW ? size_t(sqlite3_column_int64(count.get(), 0)) : 0;
}

std::vector<TTransferItem> TQueueJournal::Take(const QString &site)
{
    Exec("BEGIN IMMEDIATE");
    TTransaction transaction(FDb);
    std::vector<TTransferItem> taken;
    const TStatement read(Prepare("SELECT direction, kind, local, remote_folder, remote_name, seq FROM transfers "
                                  "WHERE site = ?1 AND run = ?2"));
    const TStatement claim(Prepare("UPDATE transfers SET run = ?3, id = -seq WHERE site = ?1 AND run = ?2"));
    std::vector<int64_t> order;
    for (const QString &run : Ended(site)) {
        BindText(read.get(), 1, site);
        BindText(read.get(), 2, run);
        while (sqlite3_step(read.get()) == SQLITE_ROW) {
            TTransferItem item;
            item.Site = site;
            item.Direction = sqlite3_column_int(read.get(), 0) == 1 ? TTransferDirection::Upload
                                                                    : TTransferDirection::Download;
            const int kind = sqlite3_column_int(read.get(), 1);
            item.Folder = kind == kFolder;
            item.Link = kind == kLink;
            item.LocalPath = ColumnBytes(read.get(), 2);
            item.RemoteFolder = ColumnBytes(read.get(), 3);
            item.RemoteName = ColumnBytes(read.get(), 4);
            // Its run kept the queue at most a moment before it died: a
            // file may have arrived after that.
            item.Recovered = !run.isEmpty();
            // A row no queue could have made is not queued.
            if (!item.LocalPath.empty() && !item.RemoteName.empty()) {
                taken.push_back(std::move(item));
                order.push_back(sqlite3_column_int64(read.get(), 5));
            }
        }
        sqlite3_reset(read.get());
        BindText(claim.get(), 1, site);
        BindText(claim.get(), 2, run);
        BindText(claim.get(), 3, Taken());
        if (sqlite3_step(claim.get()) != SQLITE_DONE)
            Fail("be written");
        sqlite3_reset(claim.get());
    }
    Exec("COMMIT");
    transaction.Commit();
    // In the order they were queued, whichever run left them.
    std::vector<size_t> rows(taken.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    std::stable_sort(rows.begin(), rows.end(), [&](size_t a, size_t b) { return order[a] < order[b]; });
    std::vector<TTransferItem> sorted;
    sorted.reserve(taken.size());
    for (const size_t row : rows)
        sorted.push_back(std::move(taken[row]));
    return sorted;
}

void TQueueJournal::Import(const std::vector<std::pair<QString, TTransferItem>> &rows)
{
    if (rows.empty())
        return;
    Exec("BEGIN IMMEDIATE");
    TTransaction transaction(FDb);
    const TStatement known(Prepare("SELECT 1 FROM transfers WHERE site = ?1 AND direction = ?2 AND kind = ?3 AND "
                                   "local = ?4 AND remote_folder = ?5 AND remote_name = ?6"));
    // Numbered below every id a queue gives, each its own.
    const TStatement put(Prepare("INSERT INTO transfers(run, id, site, direction, kind, local, remote_folder, "
                                 "remote_name) VALUES(?1, -1 - (SELECT coalesce(max(seq), 0) FROM transfers), "
                                 "?2, ?3, ?4, ?5, ?6, ?7)"));
    for (const auto &[run, item] : rows) {
        BindItem(known.get(), 1, item);
        const bool there = sqlite3_step(known.get()) == SQLITE_ROW;
        sqlite3_reset(known.get());
        if (there)
            continue;
        BindText(put.get(), 1, run);
        BindItem(put.get(), 2, item);
        if (sqlite3_step(put.get()) != SQLITE_DONE)
            Fail("be written");
        sqlite3_reset(put.get());
    }
    Exec("COMMIT");
    transaction.Commit();
}
