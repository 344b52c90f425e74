// Which store can keep a queue on disk as it changes: SQLite in WAL mode,
// or an append-only log of checksummed records. Each queues 10,000 files
// (one write), then runs them: started, four progress marks, done. Each
// change is made durable (fsync) alone, then in groups as a ticking queue
// would gather them. Prints changes per second for each.
#include "FileHash.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int Files = 10'000;

struct TChange {
    int Id;
    int State;
    int64_t Done;
};

// Every change of the run, in order: a file at a time, as one connection
// would move them.
std::vector<TChange> RunChanges()
{
    std::vector<TChange> changes;
    for (int id = 1; id <= Files; ++id) {
        changes.push_back({id, 1, 0});
        for (int mark = 1; mark <= 4; ++mark)
            changes.push_back({id, 1, mark * 16'384});
        changes.push_back({id, 2, 65'536});
    }
    return changes;
}

std::string PathOf(int id)
{
    return "/home/someone/Downloads/site/folder " + std::to_string(id / 100) + "/file " + std::to_string(id) + ".bin";
}

class TSqliteStore {
public:
    explicit TSqliteStore(const std::string &file)
    {
        sqlite3_open(file.c_str(), &FDb);
        Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
             "CREATE TABLE items(id INTEGER PRIMARY KEY, state INTEGER, done INTEGER, local BLOB, remote BLOB)");
        sqlite3_prepare_v2(FDb, "INSERT INTO items VALUES(?,0,0,?,?)", -1, &FAdd, nullptr);
        sqlite3_prepare_v2(FDb, "UPDATE items SET state=?, done=? WHERE id=?", -1, &FChange, nullptr);
    }
    ~TSqliteStore()
    {
        sqlite3_finalize(FAdd);
        sqlite3_finalize(FChange);
        sqlite3_close(FDb);
    }
    void Begin() { Exec("BEGIN"); }
    void Commit() { Exec("COMMIT"); }
    void Add(int id, const std::string &path)
    {
        sqlite3_bind_int(FAdd, 1, id);
        sqlite3_bind_blob(FAdd, 2, path.data(), int(path.size()), SQLITE_STATIC);
        sqlite3_bind_blob(FAdd, 3, path.data() + 14, int(path.size() - 14), SQLITE_STATIC);
        sqlite3_step(FAdd);
        sqlite3_reset(FAdd);
    }
    void Change(const TChange &change)
    {
        sqlite3_bind_int(FChange, 1, change.State);
        sqlite3_bind_int64(FChange, 2, change.Done);
        sqlite3_bind_int(FChange, 3, change.Id);
        sqlite3_step(FChange);
        sqlite3_reset(FChange);
    }

private:
    void Exec(const char *sql) { sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr); }
    sqlite3 *FDb = nullptr;
    sqlite3_stmt *FAdd = nullptr, *FChange = nullptr;
};

class TLogStore {
public:
    explicit TLogStore(const std::string &file) : FFile(::open(file.c_str(), O_CREAT | O_WRONLY | O_APPEND, 0600)) {}
    ~TLogStore() { ::close(FFile); }
    void Begin() {}
    void Commit()
    {
        if (::write(FFile, FPending.data(), FPending.size()) != ssize_t(FPending.size()))
            std::perror("write");
        ::fdatasync(FFile);
        FPending.clear();
    }
    void Add(int id, const std::string &path) { Record('A' + std::to_string(id) + '\t' + path + '\t' + path.substr(14)); }
    void Change(const TChange &change)
    {
        Record('C' + std::to_string(change.Id) + '\t' + std::to_string(change.State) + '\t' +
               std::to_string(change.Done));
    }

private:
    // Length, checksum, then the record: a torn last record is seen and dropped.
    void Record(const std::string &payload)
    {
        TRunningHash crc(THashKind::Crc32);
        crc.Add(payload.data(), int64_t(payload.size()));
        const uint32_t length = uint32_t(payload.size());
        FPending.append(reinterpret_cast<const char *>(&length), sizeof length);
        FPending += crc.Hex();
        FPending += payload;
    }
    int FFile;
    std::string FPending;
};

template <typename TStore>
void Measure(const char *name, const std::string &file, size_t group)
{
    std::filesystem::remove(file);
    std::filesystem::remove(file + "-wal");
    std::filesystem::remove(file + "-shm");
    const std::vector<TChange> changes = RunChanges();
    TStore store(file);
    const auto start = std::chrono::steady_clock::now();
    store.Begin();
    for (int id = 1; id <= Files; ++id)
        store.Add(id, PathOf(id));
    store.Commit();
    const auto queued = std::chrono::steady_clock::now();
    // A group of one alone is timed on the first thousand: each is a disk write.
    const size_t count = group == 1 ? 1000 : changes.size();
    for (size_t at = 0; at < count; at += group) {
        store.Begin();
        for (size_t i = at; i < std::min(count, at + group); ++i)
            store.Change(changes[i]);
        store.Commit();
    }
    const auto ran = std::chrono::steady_clock::now();
    const double queueing = std::chrono::duration<double>(queued - start).count();
    const double running = std::chrono::duration<double>(ran - queued).count();
    std::printf("%-22s groups of %5zu: %6.0f ms to queue %d files, %9.0f changes/s (%.1f files/s at 6 changes a file)\n",
                name, group, queueing * 1000, Files, double(count) / running, double(count) / running / 6);
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    for (const size_t group : {size_t(1), size_t(100), size_t(1000)}) {
        Measure<TSqliteStore>("SQLite, WAL", folder + "/journal-bench.sqlite", group);
        Measure<TLogStore>("append-only log", folder + "/journal-bench.log", group);
    }
    std::filesystem::remove(folder + "/journal-bench.sqlite");
    std::filesystem::remove(folder + "/journal-bench.log");
}
