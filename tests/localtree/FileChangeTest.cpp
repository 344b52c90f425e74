// The folder change monitor: kinds, subtrees, and no completion after a
// stop. Waits are for the watcher's own progress, never for a clock.
#include "FileChange.h"
#include "IdMainThreadQueue.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

class Watcher : public ::testing::Test {
protected:
    std::shared_ptr<TFileChangeThread> Start(unsigned filter, bool subtree)
    {
        auto watcher = TFileChangeThread::Create(Dir.Path().string(), filter, subtree);
        watcher->OnTerminate = [this](TFileChangeThread *) { ++Completions; };
        // Changes made before the watch is in place would go unseen.
        while (!watcher->Watching() && !watcher->Finished())
            std::this_thread::yield();
        return watcher;
    }

    // Runs main-thread calls until the watcher has read `notices` notices
    // or has ended.
    static void WaitForNotices(const TFileChangeThread &watcher, int notices)
    {
        IdMainThreadQueue::DrainUntil([&] { return watcher.NoticesRead() >= notices || watcher.Finished(); });
    }
    static void WaitForEnd(const TFileChangeThread &watcher)
    {
        IdMainThreadQueue::DrainUntil([&] { return watcher.Finished(); });
        IdMainThreadQueue::Drain();
    }

    TempDir Dir;
    int Completions = 0;
};

TEST_F(Watcher, AChangeEndsTheWatchWithOneCompletion)
{
    auto watcher = Start(fncFileName | fncDirName | fncAttributes | fncSize | fncLastWrite, false);
    std::ofstream(Dir.File("new.txt")) << "x";
    WaitForEnd(*watcher);
    EXPECT_FALSE(watcher->Stopped());
    EXPECT_EQ(Completions, 1);
}

TEST_F(Watcher, AFolderThatDoesNotExistEndsAtOnceWithoutAnEvent)
{
    auto watcher = TFileChangeThread::Create(Dir.File("missing"), fncFileName, false);
    watcher->OnTerminate = [this](TFileChangeThread *) { ++Completions; };
    WaitForEnd(*watcher);
    EXPECT_TRUE(watcher->Stopped());
    EXPECT_EQ(Completions, 0);
}

TEST_F(Watcher, FolderNamesOnlyIgnoreANewFileButNotANewFolder)
{
    auto watcher = Start(fncDirName, false);
    std::ofstream(Dir.File("file.txt")) << "x";
    WaitForNotices(*watcher, 1);
    IdMainThreadQueue::Drain();
    EXPECT_FALSE(watcher->Finished());
    EXPECT_EQ(Completions, 0);
    std::filesystem::create_directory(Dir.Path() / "sub");
    WaitForEnd(*watcher);
    EXPECT_EQ(Completions, 1);
}

TEST_F(Watcher, SubfoldersCountOnlyWhenAskedFor)
{
    std::filesystem::create_directory(Dir.Path() / "sub");
    auto flat = Start(fncFileName, false);
    auto deep = Start(fncFileName, true);
    std::ofstream(Dir.File("sub/inner.txt")) << "x";
    WaitForEnd(*deep);
    EXPECT_EQ(Completions, 1);
    EXPECT_FALSE(flat->Finished());
    flat->Terminate();
    WaitForEnd(*flat);
    EXPECT_TRUE(flat->Stopped());
    EXPECT_EQ(Completions, 1);
}

TEST_F(Watcher, NoCompletionAfterTerminateEvenWithAChangeRightAfter)
{
    auto watcher = Start(fncFileName, false);
    watcher->Terminate();
    std::ofstream(Dir.File("late.txt")) << "x";
    WaitForEnd(*watcher);
    EXPECT_EQ(Completions, 0);
}

TEST_F(Watcher, TerminateAfterTheChangeWasSeenStillSuppressesTheCompletion)
{
    auto watcher = Start(fncFileName, false);
    std::ofstream(Dir.File("seen.txt")) << "x";
    // The change is seen and its completion queued, not yet run.
    while (!watcher->Finished())
        std::this_thread::yield();
    watcher->Terminate();
    IdMainThreadQueue::Drain();
    EXPECT_EQ(Completions, 0);
}

TEST_F(Watcher, TheOwnerMayForgetAWatcherAtAnyTime)
{
    std::weak_ptr<TFileChangeThread> alive;
    {
        auto watcher = Start(fncFileName, false);
        alive = watcher;
        watcher->Terminate();
    }
    // The thread holds its own reference until it ends.
    IdMainThreadQueue::DrainUntil([&] { return alive.expired(); });
    EXPECT_TRUE(alive.expired());
}

}  // namespace
