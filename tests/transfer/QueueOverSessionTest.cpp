// The queue over the remote-session face alone, with a server in memory
// for a protocol: a folder's download, a download cut short and resumed,
// the overwrite answers, and an upload whose server refuses offsets. No
// network: what the queue does is the room's, whatever the protocol.
#include "MemorySession.h"
#include "NewsRecord.h"
#include "QueueJournal.h"
#include "RunIdentity.h"
#include "SettingsStore.h"
#include "TempDir.h"
#include "TransferRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <QScopeGuard>

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

class QueueOverSession : public ::testing::Test {
protected:
    QueueOverSession() : Runner(News, false, Server.Maker())
    {
        TSessionSettings session;
        session.Protocol = "memory";
        session.User = "tester";
        Runner.SetSession(session, "tester@memory");
        Runner.RetryDelay = 0;
    }

    TTransferItem Download(const std::string &folder, const std::string &name, bool isFolder = false)
    {
        TTransferItem item;
        item.RemoteFolder = folder;
        item.RemoteName = name;
        item.LocalPath = Local.File(name);
        item.Folder = isFolder;
        return item;
    }

    void Run(std::vector<TTransferItem> items)
    {
        Runner.Enqueue(std::move(items));
        QElapsedTimer bound;
        bound.start();
        while (Runner.Active() && bound.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_FALSE(Runner.Active()) << Lines();
    }

    std::string Lines() const { return News.Lines.join('\n').toStdString(); }

    TMemoryServer Server;
    TNewsRecord News;
    TTransferRunner Runner;
    TempDir Local;
};

TEST_F(QueueOverSession, AFolderComesDownWhole)
{
    Server.AddFolder("/site");
    Server.AddFolder("/site/sub");
    Server.AddFolder("/site/sub/empty");
    Server.AddFile("/site/a.txt", "top");
    Server.AddFile("/site/sub/b \xe9.bin", std::string("\0\1\2", 3));
    Run({Download("/", "site", true)});

    EXPECT_EQ(Contents(Local.Path() / "site" / "a.txt"), "top");
    EXPECT_EQ(Contents(Local.Path() / "site" / "sub" / "b \xe9.bin"), std::string("\0\1\2", 3));
    EXPECT_TRUE(fs::is_directory(Local.Path() / "site" / "sub" / "empty"));
    EXPECT_TRUE(News.Failures.isEmpty()) << News.Failures.join('\n').toStdString();
}

// Folders that hold folders, deeper than anyone walks: one download
// queues no more than its bound, files before folders, and says so.
TEST_F(QueueOverSession, AFolderTreeWithoutEndQueuesNoMoreThanTheBound)
{
    const std::function<void(const std::string &, int)> grow = [&](const std::string &folder, int depth) {
        Server.AddFolder(folder);
        for (int i = 0; i < 3; ++i) {
            Server.AddFile(folder + "/f" + std::to_string(i), "x");
            if (depth > 0)
                grow(folder + "/d" + std::to_string(i), depth - 1);
        }
    };
    grow("/deep", 4);  // 363 items under it
    Runner.MaxQueuedPerTransfer = 50;
    Run({Download("/", "deep", true)});
    size_t files = 0, folders = 0;
    for (const auto &entry : fs::recursive_directory_iterator(Local.Path() / "deep"))
        ++(entry.is_directory() ? folders : files);
    EXPECT_EQ(files + folders, 50u);
    EXPECT_EQ(News.Lines.filter("were not queued: one download queues no more than 50 files and folders.").size(),
              1) << Lines();
    // The bound is the download's: the next one has its own.
    News.Lines.clear();
    Run({Download("/deep", "f0")});
    EXPECT_TRUE(News.Lines.filter("were not queued").isEmpty()) << Lines();

    // One folder of more than the bound: its listing stops there, and the
    // folder is no failure.
    for (int i = 0; i < 120; ++i)
        Server.AddFile("/flat/f" + std::to_string(i), "x");
    Server.AddFolder("/flat");
    News.Lines.clear();
    Run({Download("/", "flat", true)});
    EXPECT_EQ(std::distance(fs::directory_iterator(Local.Path() / "flat"), {}), 50);
    EXPECT_EQ(Server.MostListed, 50u);
    EXPECT_EQ(News.Lines.filter("were not queued").size(), 1) << Lines();
    EXPECT_TRUE(News.Failures.isEmpty()) << News.Failures.join('\n').toStdString();
}

// However many fail, the run ends with one message: the first five, and
// how many more.
TEST_F(QueueOverSession, ManyFailuresAreOneMessage)
{
    Server.AddFolder("/gone");
    std::vector<TTransferItem> items;
    for (int i = 0; i < 8; ++i)
        items.push_back(Download("/gone", "f" + std::to_string(i)));
    Run(std::move(items));
    ASSERT_EQ(News.Failures.size(), 1) << Lines();
    EXPECT_EQ(News.Failures[0].count('\n'), 5) << News.Failures[0].toStdString();
    EXPECT_TRUE(News.Failures[0].endsWith("\n...and 3 more: see the Transfers page.")) << News.Failures[0].toStdString();
}

// The queue on disk as it changes, a few rows at a time, its failed items
// too: a stop sets it aside, another window's run leaves it alone while
// this one runs, and the next login is offered it and brings it down
// whole.
TEST_F(QueueOverSession, TheJournalKeepsTheQueueUntilTheNextLoginTakesIt)
{
    const QString path = QString::fromStdString(Local.File("queue.db"));
    const QString run = RunIdentity::ThisRun() + "#1";
    Runner.SetJournal(std::make_unique<TQueueJournal>(path, run));
    Runner.Keeper()->MostPerWrite = 2;
    TTransferRunner::TOptions options = Runner.Options();
    options.DownloadLimit = 64;
    Runner.SetOptions(options);
    // One fails: kept too, to be tried again.
    std::vector<TTransferItem> items{Download("/", "f5")};
    for (int i = 0; i < 5; ++i) {
        Server.AddFile("/f" + std::to_string(i), std::string(1 << 20, char('a' + i)));
        items.push_back(Download("/", "f" + std::to_string(i)));
    }
    Runner.Enqueue(std::move(items));
    TQueueJournal journal(path, run), other(path, RunIdentity::ThisRun() + "#2");
    const auto soon = [](const std::function<bool()> &done) {
        QElapsedTimer bound;
        bound.start();
        while (!done() && bound.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return done();
    };
    ASSERT_TRUE(soon([&] { return journal.Held() == 6 && Runner.Queue().Count(TTransferState::Failed) == 1; }))
        << journal.Held() << Lines();
    EXPECT_EQ(other.Left("tester@memory"), 0u);

    Runner.StopAll("Stopped by the disconnect.");
    EXPECT_EQ(journal.Held(), 0u);
    ASSERT_EQ(other.Left("tester@memory"), 6u);
    Server.AddFile("/f5", std::string(1 << 20, 'f'));

    TNewsRecord news;
    TTransferRunner next(news, false, Server.Maker());
    next.SetJournal(std::make_unique<TQueueJournal>(path, RunIdentity::ThisRun() + "#3"));
    TSessionSettings session;
    session.Protocol = "memory";
    session.User = "tester";
    next.SetSession(session, "tester@memory");
    next.OfferUnfinished();
    EXPECT_EQ(news.Confirms, QStringList{"6 transfers to tester@memory were not finished. Queue them again?"});
    EXPECT_EQ(other.Left("tester@memory"), 0u);
    ASSERT_TRUE(soon([&] { return !next.Active(); }));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Contents(Local.Path() / ("f" + std::to_string(i))), std::string(1 << 20, char('a' + i))) << i;
    EXPECT_TRUE(soon([&] { return next.Keeper()->Journal().Held() + other.Left("tester@memory") == 0; }));
}

TEST_F(QueueOverSession, ADownloadCutShortGoesOnFromWhereItStopped)
{
    std::string big(3 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 % 251);
    Server.AddFile("/big.bin", big);
    Server.CutAfter("/big.bin", 1536 * 1024);
    Run({Download("/", "big.bin")});

    EXPECT_TRUE(Contents(Local.Path() / "big.bin") == big);
    const std::vector<std::string> expected{"get /big.bin 0", "get /big.bin 1572864"};
    EXPECT_EQ(Server.Moves(), expected);
    EXPECT_TRUE(News.Lines.contains("Resuming big.bin at byte 1572864.")) << Lines();
}

// A download that fills the disk keeps what arrived for a resume, and
// offers to free the room: kept unless the user says otherwise.
TEST_F(QueueOverSession, APartThatFilledTheDiskIsOfferedForDeletion)
{
    TempDir small;
    if (::mount("tmpfs", small.Path().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no file system of a megabyte can be mounted here";
    const auto unmount = qScopeGuard([&] { ::umount2(small.Path().c_str(), MNT_DETACH); });
    Server.AddFile("/big.bin", std::string(2 << 20, 'x'));
    const auto parts = [&] {
        int count = 0;
        for (const auto &entry : fs::directory_iterator(small.Path()))
            count += entry.path().string().ends_with(".veldra-part");
        return count;
    };
    for (const bool remove : {false, true}) {
        SCOPED_TRACE(remove ? "removed" : "kept");
        News.ConfirmAnswer = remove;
        News.Confirms.clear();
        TTransferItem item = Download("/", "big.bin");
        item.LocalPath = small.File("big.bin");
        Run({item});
        ASSERT_EQ(News.Confirms.size(), 1) << Lines();
        EXPECT_TRUE(News.Confirms[0].startsWith("The disk is full. Delete the ")) << News.Confirms[0].toStdString();
        EXPECT_TRUE(News.Confirms[0].contains(" already downloaded?")) << News.Confirms[0].toStdString();
        // A part is removed beside, on a thread of its own.
        for (int i = 0; i < 200 && parts() != (remove ? 0 : 1); ++i)
            ::usleep(5000);
        EXPECT_EQ(parts(), remove ? 0 : 1);
    }
}

// A part no record will point to is removed once another takes its place:
// the part of a run killed while it grew (its record says less than it
// holds) does not stay beside the file for ever.
TEST_F(QueueOverSession, AnOrphanedPartGoesWhenTheFileComesAgain)
{
    const std::string big(3 << 20, 'y');  // big enough to be resumable
    Server.AddFile("/big.bin", big);
    Server.CutAfter("/big.bin", 1 << 20, 3);
    Run({Download("/", "big.bin")});
    std::string part;
    for (const auto &entry : fs::directory_iterator(Local.Path()))
        if (entry.path().string().ends_with(".veldra-part"))
            part = entry.path().string();
    ASSERT_FALSE(part.empty()) << Lines();
    std::ofstream(part, std::ios::app) << "grown after its record";
    const std::string planted = Local.File(".big.bin.planted.veldra-part");
    std::ofstream(planted) << "a server's own";
    Run({Download("/", "big.bin")});
    EXPECT_TRUE(Contents(Local.Path() / "big.bin") == big);
    for (int i = 0; i < 200 && fs::exists(part); ++i)
        ::usleep(5000);
    EXPECT_FALSE(fs::exists(part));
    EXPECT_FALSE(fs::exists(part + ".info"));
    EXPECT_EQ(Contents(planted), "a server's own");
}

TEST_F(QueueOverSession, ATakenLocalNameGoesAsTheUserAnswers)
{
    const struct {
        TOverwriteAnswer Answer;
        std::string Kept, Renamed;
    } cases[] = {
        {TOverwriteAnswer::Skip, "mine", ""},
        {TOverwriteAnswer::Overwrite, "theirs", ""},
        {TOverwriteAnswer::Rename, "mine", "theirs"},
    };
    Server.AddFile("/note.txt", "theirs");
    for (const auto &each : cases) {
        SCOPED_TRACE(int(each.Answer));
        fs::remove_all(Local.Path());
        fs::create_directories(Local.Path());
        std::ofstream(Local.File("note.txt")) << "mine";
        News.Answer = each.Answer;
        News.Questions.clear();
        Run({Download("/", "note.txt")});
        EXPECT_EQ(News.Questions.size(), 1);
        EXPECT_EQ(Contents(Local.Path() / "note.txt"), each.Kept);
        // A replaced file is discarded in the background, under a hidden
        // name: only what the user sees counts.
        std::string others;
        for (const auto &entry : fs::directory_iterator(Local.Path()))
            if (const std::string name = entry.path().filename().string(); name != "note.txt" && name[0] != '.')
                others += name + ":" + Contents(entry.path());
        EXPECT_EQ(others, each.Renamed.empty() ? "" : "note (2).txt:" + each.Renamed);
    }
}

TEST_F(QueueOverSession, AnUploadGoesOnByAppendingWhereOffsetsAreRefused)
{
    Server.AddFolder("/up");
    Server.AddFile("/up/data.bin", "first half ");
    Server.RefuseOffsets = true;
    std::ofstream(Local.File("data.bin")) << "first half second half";
    News.Answer = TOverwriteAnswer::Resume;
    TTransferItem item;
    item.Direction = TTransferDirection::Upload;
    item.LocalPath = Local.File("data.bin");
    item.RemoteFolder = "/up";
    item.RemoteName = "data.bin";
    Run({item});

    EXPECT_EQ(Server.File("/up/data.bin"), "first half second half");
    EXPECT_EQ(Server.Moves().back(), "append /up/data.bin");
    EXPECT_EQ(News.Changed, std::vector<std::string>{"/up"});
}

}  // namespace

TEST(Protocols, EachSchemeMakesItsSessionOrSaysWhyNot)
{
    TSessionSettings settings;
    for (const char *scheme : {"ftp", "FTPES", "ftps", "sftp"}) {
        settings.Protocol = scheme;
        EXPECT_NE(MakeSession(settings), nullptr) << scheme;
    }
    settings.Protocol = "gopher";
    EXPECT_THROW(
        try { (void)MakeSession(settings); } catch (const EIdException &error) {
            EXPECT_STREQ(error.what(), "\"gopher://\" is not supported.");
            throw;
        },
        EIdException);
    EXPECT_EQ(ProtocolOf("ftps")->DefaultPort, 990);
    EXPECT_EQ(ProtocolOf("gopher"), nullptr);
}

namespace {

TEST_F(QueueOverSession, FilesAreProvenWholeWhereTheServerHashes)
{
    std::string big(3 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 13 % 251);
    Server.Hashes = true;
    Server.AddFolder("/up");
    Server.AddFile("/big.bin", big);
    const struct {
        const char *What;
        int Wrong;
        bool Cut;
        std::vector<std::string> Moves;
        const char *State;
    } cases[] = {
        // The bytes before a resume are read once more for the digest.
        {"resumed", 0, true, {"get /big.bin 0", "get /big.bin 1572864"}, "Verified (SHA-256)"},
        // A retry starts afresh: the whole part was what differed.
        {"differs once", 1, false, {"get /big.bin 0", "get /big.bin 0"}, "Verified (SHA-256)"},
        {"always differs", 100, false, {"get /big.bin 0", "get /big.bin 0", "get /big.bin 0"},
         "Failed: Download of big.bin failed: The server's SHA-256 differs from the downloaded file's."},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.What);
        fs::remove_all(Local.Path());
        fs::create_directories(Local.Path());
        Runner.Queue().ClearFinished();
        const std::vector<std::string> before = Server.Moves();
        Server.WrongDigests = test.Wrong;
        if (test.Cut)
            Server.CutAfter("/big.bin", 1536 * 1024);
        Run({Download("/", "big.bin")});
        std::vector<std::string> moves = Server.Moves();
        moves.erase(moves.begin(), moves.begin() + std::ptrdiff_t(before.size()));
        EXPECT_EQ(moves, test.Moves);
        const TTransferItem &item = Runner.Queue().Items().back();
        EXPECT_EQ(TransferStateText(item).toStdString(), test.State);
        // What differs never takes the file's place; its part stays.
        const bool verified = !item.Verified.isEmpty();
        EXPECT_EQ(fs::exists(Local.Path() / "big.bin"), verified);
        size_t parts = 0;
        for (const auto &entry : fs::directory_iterator(Local.Path()))
            parts += entry.path().filename().string().starts_with(".big.bin.") &&
                     entry.path().extension() != ".info" && fs::file_size(entry.path()) == big.size();
        EXPECT_EQ(parts, verified ? 0u : 1u);
    }
    // Uploads too.
    std::ofstream(Local.File("up.bin"), std::ios::binary) << big;
    TTransferItem up;
    up.Direction = TTransferDirection::Upload;
    up.LocalPath = Local.File("up.bin");
    up.RemoteFolder = "/up";
    up.RemoteName = "up.bin";
    Server.WrongDigests = 0;
    Run({up});
    EXPECT_EQ(Runner.Queue().Items().back().Verified, "SHA-256");
    EXPECT_TRUE(News.Lines.contains("The server's SHA-256 matches.")) << Lines();
}

}  // namespace
