// The queue's journal as windows share it and as a kill leaves it: rows
// of a run still going are that run's, rows set aside or left by a run
// that ended are taken once, byte for byte and in their order, a taker
// killed before it queued them again loses none, and a writer killed at
// any moment leaves whole groups only.
#include "ChildProcess.h"
#include "QueueJournal.h"
#include "RunIdentity.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

namespace {

const QString Site = QStringLiteral("ann@example.org");

TTransferItem Item(int id, const std::string &name)
{
    TTransferItem item;
    item.Id = id;
    item.Site = Site;
    item.RemoteFolder = "/pub/\xff odd";
    item.RemoteName = name;
    item.LocalPath = "/home/ann/" + name;
    return item;
}

std::vector<const TTransferItem *> Pointers(const std::vector<TTransferItem> &items)
{
    std::vector<const TTransferItem *> pointers;
    for (const TTransferItem &item : items)
        pointers.push_back(&item);
    return pointers;
}

std::vector<std::string> Names(const std::vector<TTransferItem> &items)
{
    std::vector<std::string> names;
    for (const TTransferItem &item : items)
        names.push_back(item.RemoteName);
    return names;
}

class QueueJournal : public ::testing::Test {
protected:
    QString Path() const { return QString::fromStdString(Dir.File("queue.db")); }
    TempDir Dir;
};

TEST_F(QueueJournal, ARunsRowsAreTakenOnlyOnceItSetsThemAsideOrEnds)
{
    TQueueJournal mine(Path(), RunIdentity::ThisRun() + "#1"), other(Path(), RunIdentity::ThisRun() + "#2");
    std::vector<TTransferItem> items{Item(1, "a"), Item(2, "b \xe9"), Item(3, "c"), Item(4, "d")};
    items[1].Direction = TTransferDirection::Upload;
    items[2].Folder = true;
    mine.Write(Pointers(items), {});
    // A target chosen later, and an item that ended.
    items[0].LocalPath = "/home/ann/a (1)";
    mine.Write(Pointers({items[0]}), {4});
    EXPECT_EQ(mine.Held(), 3u);
    EXPECT_EQ(other.Left(Site), 0u);
    EXPECT_TRUE(other.Take(Site).empty());

    mine.SetAside();
    EXPECT_EQ(mine.Held(), 0u);
    EXPECT_EQ(other.Left("someone@else"), 0u);
    ASSERT_EQ(other.Left(Site), 3u);
    const std::vector<TTransferItem> taken = other.Take(Site);
    EXPECT_EQ(Names(taken), (std::vector<std::string>{"a", "b \xe9", "c"}));
    EXPECT_EQ(taken[0].LocalPath, "/home/ann/a (1)");
    EXPECT_EQ(taken[1].Direction, TTransferDirection::Upload);
    EXPECT_TRUE(taken[2].Folder);
    EXPECT_EQ(taken[2].RemoteFolder, "/pub/\xff odd");
    // Set aside by a run that ended cleanly: nothing to doubt.
    EXPECT_FALSE(taken[0].Recovered);
    EXPECT_EQ(other.Left(Site), 0u);

    // A run that died: its rows are offered, to be checked against what
    // arrived after its last write. Rows of earlier versions' settings
    // come in once however often they are read.
    TQueueJournal dead(Path(), "1:1");
    dead.Write(Pointers({Item(7, "late")}), {});
    other.Import({{"1:2", Item(0, "old")}, {"", Item(0, "aside")}});
    other.Import({{"1:2", Item(0, "old")}});
    const std::vector<TTransferItem> left = other.Take(Site);
    EXPECT_EQ(Names(left), (std::vector<std::string>{"late", "old", "aside"}));
    EXPECT_TRUE(left[0].Recovered && left[1].Recovered);
    EXPECT_FALSE(left[2].Recovered);

    // Taken rows stay until the taker's write drops them: one killed in
    // between loses none, and none is taken twice while it runs.
    TQueueJournal(Path(), "1:3").Write(Pointers({Item(8, "again")}), {});
    EXPECT_EQ(Names(TQueueJournal(Path(), "1:4").Take(Site)), std::vector<std::string>{"again"});
    EXPECT_EQ(Names(other.Take(Site)), std::vector<std::string>{"again"});
    EXPECT_TRUE(other.Take(Site).empty());
    other.DropTaken();
    EXPECT_TRUE(TQueueJournal(Path(), "1:5").Take(Site).empty());
}

TEST_F(QueueJournal, AJournalThatCannotBeOpenedSaysWhere)
{
    std::filesystem::create_directory(Dir.Path() / "queue.db");
    try {
        TQueueJournal journal(Path(), "x");
        FAIL() << "opened";
    } catch (const EQueueJournal &error) {
        EXPECT_TRUE(std::string(error.what()).starts_with("The queue's journal " + Dir.File("queue.db") + " could not"))
            << error.what();
    }
}

// Run in a process of its own by the test below, which kills it.
TEST_F(QueueJournal, WriterToBeKilled)
{
    const char *path = std::getenv("VELDRA_JOURNAL_WRITER");
    if (!path)
        GTEST_SKIP() << "the killed writer of the test below";
    TQueueJournal journal(QString::fromUtf8(path), QString::fromUtf8(std::getenv("VELDRA_JOURNAL_RUN")));
    for (int group = 0;; ++group) {
        std::vector<TTransferItem> items;
        for (int i = 0; i < 10; ++i)
            items.push_back(Item(group * 10 + i, std::string(200, char('a' + i))));
        // Some go again, as queued items end.
        std::vector<int> gone;
        if (group % 3 == 2)
            for (int i = 0; i < 10; ++i)
                gone.push_back((group - 1) * 10 + i);
        journal.Write(Pointers(items), gone);
        std::cout << "written " << group << std::endl;
    }
}

TEST_F(QueueJournal, AWriterKilledAtAnyMomentLeavesWholeGroups)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::mt19937 random(20261210);
    TQueueJournal reader(Path(), RunIdentity::ThisRun() + "#reader");
    for (int kill = 1; kill <= 6; ++kill) {
        ChildProcess writer({"/usr/bin/env", "VELDRA_JOURNAL_WRITER=" + Dir.File("queue.db"),
                             "VELDRA_JOURNAL_RUN=1:" + std::to_string(kill), self,
                             "--gtest_filter=QueueJournal.WriterToBeKilled"});
        writer.WaitForLine("written");
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 200));
        writer.Kill();
        const std::vector<TTransferItem> taken = reader.Take(Site);
        ASSERT_GE(taken.size(), 10u) << kill;
        EXPECT_EQ(taken.size() % 10, 0u) << kill;
        for (const TTransferItem &item : taken) {
            EXPECT_EQ(item.RemoteName.size(), 200u);
            EXPECT_EQ(item.LocalPath, "/home/ann/" + item.RemoteName);
            EXPECT_TRUE(item.Recovered);
        }
    }
}

}  // namespace
