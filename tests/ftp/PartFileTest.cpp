// A resumable part is taken up again only where it is the very file this
// program left: recorded, untouched, of the same server file. Whatever
// else stands where a part would be (a remote folder's ".big.veldra-part",
// a link, a FIFO) is never taken for one, never followed, never waited on.
#include "IdException.h"
#include "IdStream.h"
#include "PartFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

constexpr int64_t RemoteSize = 1000;
const std::string RemoteTime = "20260102030405";

// A part of `target` this program left with `bytes` in it, and its record.
TPartRecord LeavePart(const std::string &target, const std::string &bytes)
{
    TPartFile part(target, RemoteSize, RemoteTime, nullptr, true);
    EXPECT_EQ(part.Offset(), 0);
    TFileStream stream(part.TakeHandle(), part.Path());
    stream.Write(bytes.data(), int64_t(bytes.size()));
    const std::optional<TPartRecord> record = part.Record();
    EXPECT_TRUE(record.has_value());
    return record.value_or(TPartRecord{});
}

std::string InfoOf(const TPartRecord &record)
{
    return Contents(record.Path + ".info");
}

TEST(PartFile, OnlyTheRecordedUntouchedPartOfTheSameFileIsTakenUp)
{
    const struct {
        const char *Case;
        // What happens to the part, or the server's file, after the stop.
        std::function<void(TPartRecord &)> Meddle;
        int64_t Size;
        bool Resumed;
        // No record pointing to it any more, it is removed as ours.
        bool Discarded;
    } rows[] = {
        {"untouched", [](TPartRecord &) {}, RemoteSize, true, true},
        {"the server's file changed", [](TPartRecord &) {}, RemoteSize + 1, false, true},
        {"grown by someone", [](TPartRecord &part) { std::ofstream(part.Path, std::ios::app) << "more"; },
         RemoteSize, false, true},
        {"replaced by another file",
         [](TPartRecord &part) {
             // Made before the old one goes: another file, never its inode.
             std::ofstream(part.Path + ".new") << std::string(size_t(part.Length), 'z');
             fs::rename(part.Path + ".new", part.Path);
         },
         RemoteSize, false, false},
        {"a link in its place",
         [](TPartRecord &part) {
             fs::rename(part.Path, part.Path + ".moved");
             fs::create_symlink(part.Path + ".moved", part.Path);
         },
         RemoteSize, false, false},
        {"its token changed",
         [](TPartRecord &part) {
             std::string info = InfoOf(part);
             info[info.size() - 2] = info[info.size() - 2] == 'a' ? 'b' : 'a';
             std::ofstream(part.Path + ".info") << info;
         },
         RemoteSize, false, false},
        {"a FIFO for its info",
         [](TPartRecord &part) {
             fs::remove(part.Path + ".info");
             ASSERT_EQ(::mkfifo((part.Path + ".info").c_str(), 0600), 0);
         },
         RemoteSize, false, false},
        {"no record", [](TPartRecord &part) { part = {}; }, RemoteSize, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Case);
        TempDir dir;
        const std::string target = dir.File("big");
        TPartRecord record = LeavePart(target, std::string(100, 'a'));
        row.Meddle(record);
        EXPECT_EQ(TPartFile::Resumable(record, row.Size, RemoteTime), row.Resumed ? 100 : 0);
        const TPartFile again(target, row.Size, RemoteTime, &record, true);
        EXPECT_EQ(again.Offset(), row.Resumed ? 100 : 0);
        EXPECT_EQ(again.Path() == record.Path, row.Resumed);
    }
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.Case) + ", then discarded");
        TempDir dir;
        TPartRecord record = LeavePart(dir.File("big"), std::string(100, 'a'));
        const std::string path = record.Path;
        row.Meddle(record);
        TPartFile::Discard(record);
        // Its removal may take a moment: it runs beside.
        for (int i = 0; i < 200 && row.Discarded && fs::exists(path); ++i)
            ::usleep(5000);
        EXPECT_EQ(fs::exists(fs::symlink_status(path)), !row.Discarded);
        EXPECT_EQ(fs::exists(fs::symlink_status(path + ".info")), !row.Discarded);
    }
}

// Files that look like parts, as a remote folder may hold them, are no
// part of ours: a download starts afresh beside them and leaves them be;
// so does one the user wants afresh, which takes its own old part away.
TEST(PartFile, LookalikesAreLeftAloneAndAFreshStartDropsOurOldPart)
{
    TempDir dir;
    const std::string target = dir.File("big");
    const std::string planted = dir.File(".big.veldra-part");
    std::ofstream(planted) << "server's chosen bytes";
    std::ofstream(planted + ".info") << RemoteSize << ' ' << RemoteTime << '\n';
    {
        const TPartFile part(target, RemoteSize, RemoteTime, nullptr, true);
        EXPECT_EQ(part.Offset(), 0);
        EXPECT_NE(part.Path(), planted);
    }
    EXPECT_EQ(Contents(planted), "server's chosen bytes");
    EXPECT_EQ(Contents(planted + ".info"), std::to_string(RemoteSize) + ' ' + RemoteTime + '\n');

    const TPartRecord old = LeavePart(target, "ours");
    const TPartFile fresh(target, RemoteSize, RemoteTime, &old, false);
    EXPECT_EQ(fresh.Offset(), 0);
    EXPECT_FALSE(fs::exists(old.Path));
    EXPECT_FALSE(fs::exists(old.Path + ".info"));
}

// A run killed between making a part and keeping its record leaves a part
// nothing points to: the next download of that file removes it. A part in
// use by a running transfer, one recorded, and lookalikes stay.
TEST(PartFile, WhatAKilledRunLeftWithoutARecordGoesAtTheNextDownload)
{
    TempDir dir;
    const std::string target = dir.File("big");
    const pid_t child = ::fork();
    if (child == 0) {
        // Killed with its part: no destructor runs.
        TPartFile *left = new TPartFile(target, RemoteSize, RemoteTime, nullptr, true);
        (void)::write(left->TakeHandle(), "partial", 7);
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::vector<fs::path> killed;
    for (const auto &entry : fs::directory_iterator(dir.Path()))
        if (entry.path().extension() == ".veldra-part")
            killed.push_back(entry.path());
    ASSERT_EQ(killed.size(), 1u);

    const TPartRecord recorded = LeavePart(target, "kept");
    const TPartFile running(target, RemoteSize, RemoteTime, nullptr, true);
    const std::string lookalike = dir.File(".big.abcdef.veldra-part");
    std::ofstream(lookalike) << "not ours";
    std::ofstream(lookalike + ".info") << RemoteSize << ' ' << RemoteTime << " not-a-token\n";

    TLeftBehindParts().Discard(target, {{target, recorded}});
    EXPECT_FALSE(fs::exists(killed[0].string() + ".info"));
    for (int i = 0; i < 100 && fs::exists(killed[0]); ++i)
        ::usleep(20'000);
    EXPECT_FALSE(fs::exists(killed[0]));
    for (const std::string &kept : {recorded.Path, running.Path(), lookalike})
        EXPECT_TRUE(fs::exists(kept) && fs::exists(kept + ".info")) << kept;
}

// A file stream reads and writes regular files only: a FIFO (an upload
// chosen by mistake, a trap where a file was expected) fails at once.
TEST(PartFile, AFileStreamRefusesWhatIsNoFile)
{
    TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto mode : {TFileStream::fmOpenRead, TFileStream::fmOpenWrite, TFileStream::fmCreate})
        EXPECT_THROW(TFileStream(fifo, mode), EFileStreamError);
    EXPECT_THROW(TFileStream(dir.Path().string(), TFileStream::fmOpenRead), EFileStreamError);
}

}  // namespace
