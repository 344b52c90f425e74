// Transfers against a real FTP server, in active and in passive mode.
#include "AbortCheck.h"
#include "ResumeCheck.h"
#include "FtpServerFixture.h"
#include "IdException.h"
#include "IdFTP.h"
#include "IdStream.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char &b : bytes) {
        state = state * 1103515245 + 12345;
        b = char(state >> 16);
    }
    return bytes;
}

class RealTransfer : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        FTP.Host = "127.0.0.1";
        FTP.Port = Server.Port();
        FTP.User = FtpServer::User;
        FTP.Password = FtpServer::Password;
        FTP.Passive = GetParam();
        FTP.Connect(true);
    }
    void TearDown() override { FTP.Disconnect(); }

    std::filesystem::path Remote(const std::string &name) const { return Server.Root().Path() / name; }

    FtpServer Server;
    TIdFTP FTP;
};

TEST_P(RealTransfer, ListsFoldersAndFiles)
{
    std::filesystem::create_directory(Remote("pub"));
    std::ofstream(Remote("read me.txt")) << "hello";
    std::vector<std::string> lines;
    FTP.SetTransferType(ftASCII);
    FTP.List(lines, "", true);
    ASSERT_EQ(lines.size(), 2u);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines[0].substr(0, 1), "-");
    EXPECT_NE(lines[0].find(" read me.txt"), std::string::npos);
    EXPECT_EQ(lines[1].substr(0, 1), "d");

    FTP.List(lines, "", false);
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"pub", "read me.txt"}));
}

TEST_P(RealTransfer, DownloadsAreByteExact)
{
    for (size_t size : {size_t(0), size_t(1), size_t(70000), size_t(5 * 1024 * 1024 + 3)}) {
        const std::string contents = Pattern(size);
        std::ofstream(Remote("file.bin"), std::ios::binary) << contents;
        TMemoryStream stream;
        int begins = 0, ends = 0, last = 0;
        FTP.OnWorkBegin = [&](TIdComponent *, TWorkMode mode, int64_t max) {
            ++begins;
            EXPECT_EQ(mode, wdReceive);
            EXPECT_EQ(max, 0);
        };
        FTP.OnWork = [&](TIdComponent *, TWorkMode, int64_t count) { last = count; };
        FTP.OnWorkEnd = [&](TIdComponent *, TWorkMode) { ++ends; };
        FTP.Get("file.bin", &stream);
        EXPECT_TRUE(stream.Data() == contents) << size;
        EXPECT_EQ(begins, 1);
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(last, int(size));
        EXPECT_EQ(FTP.Size("file.bin"), int(size));
    }
}

TEST_P(RealTransfer, DownloadsIntoAFile)
{
    const std::string contents = Pattern(100000);
    std::ofstream(Remote("data.bin"), std::ios::binary) << contents;
    TempDir local;
    const std::string path = local.File("data.bin");
    std::ofstream(path) << "old and longer than nothing";
    FTP.Get("data.bin", path, true);
    EXPECT_TRUE(Contents(path) == contents);

    // A new file has the permissions the user's mask gives, as any other.
    FTP.Get("data.bin", local.File("new.bin"), false);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat info {};
    ASSERT_EQ(::stat(local.File("new.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST_P(RealTransfer, AnAbortFromAnotherThreadKeepsTheFileAndTheSession)
{
    std::ofstream(Remote("big.bin"), std::ios::binary) << Pattern(32 << 20);
    TempDir local;
    ExpectAbortFromAnotherThread(FTP, "big.bin", local.Path());
    EXPECT_EQ(FTP.Size("big.bin"), 32 << 20);
}

TEST_P(RealTransfer, UploadsAreByteExact)
{
    for (size_t size : {size_t(0), size_t(10), size_t(5 * 1024 * 1024 + 7)}) {
        const std::string contents = Pattern(size);
        TMemoryStream source;
        source.Write(contents.data(), int64_t(contents.size()));
        source.SetPosition(0);
        int begins = 0;
        FTP.OnWorkBegin = [&](TIdComponent *, TWorkMode mode, int64_t max) {
            ++begins;
            EXPECT_EQ(mode, wdSend);
            EXPECT_EQ(max, int(size));
        };
        FTP.Put(&source, "up.bin", false);
        EXPECT_TRUE(Contents(Remote("up.bin")) == contents) << size;
        EXPECT_EQ(begins, 1);
    }
}

TEST_P(RealTransfer, ResumesBothWays)
{
    const std::string contents = Pattern(3 * 1024 * 1024 + 1);
    std::ofstream(Remote("whole.bin"), std::ios::binary) << contents;
    FTP.SetTransferType(ftBinary);
    ExpectResumesBothWays(FTP, "whole.bin", contents, Server.Root().Path());
}

TEST_P(RealTransfer, AppendsAndStoresUnique)
{
    TempDir local;
    const std::string path = local.File("part.txt");
    std::ofstream(path) << "second";
    std::ofstream(Remote("log.txt")) << "first ";
    FTP.Put(path, "log.txt", true);
    EXPECT_EQ(Contents(Remote("log.txt")), "first second");

    FTP.Put(path, "", false);
    EXPECT_EQ(FTP.ReplyCode, 226);
    int stored = 0;
    for (const auto &entry : std::filesystem::directory_iterator(Server.Root().Path()))
        if (entry.path().filename() != "log.txt" && Contents(entry.path()) == "second")
            ++stored;
    EXPECT_EQ(stored, 1);
}

TEST_P(RealTransfer, ARefusedRetrieveLeavesTheSessionUsable)
{
    TMemoryStream stream;
    try {
        FTP.Get("no-such-file", &stream);
        FAIL();
    } catch (const EIdProtocolReplyError &error) {
        EXPECT_EQ(error.ReplyCode, 550);
    }
    EXPECT_EQ(FTP.DataConnection, nullptr);
    EXPECT_EQ(FTP.Size("no-such-file"), -1);
    std::vector<std::string> lines;
    FTP.List(lines, "", true);
    EXPECT_TRUE(lines.empty());
}

TEST_P(RealTransfer, NamesThatAreNotUtf8KeepTheirBytes)
{
    const std::string name = "caf\xe9 \xff.txt";  // Latin-1, not UTF-8
    std::ofstream(Remote(name), std::ios::binary) << "latin";
    std::vector<std::string> lines;
    FTP.List(lines, "", false);
    ASSERT_EQ(lines, std::vector<std::string>{name});
    TMemoryStream stream;
    FTP.Get(lines[0], &stream);
    EXPECT_EQ(stream.Data(), "latin");
    FTP.Rename(name, "plain.txt");
    EXPECT_TRUE(std::filesystem::exists(Remote("plain.txt")));
}

TEST_P(RealTransfer, FoldersAreWalkedCreatedAndRemoved)
{
    FTP.CreateFolder("sub dir");
    FTP.EnterFolder("sub dir");
    EXPECT_EQ(FTP.QueryCurrentFolder(), "/sub dir");
    FTP.EnterParentFolder();
    EXPECT_EQ(FTP.QueryCurrentFolder(), "/");
    FTP.RemoveFolder("sub dir");
    EXPECT_FALSE(std::filesystem::exists(Remote("sub dir")));
    std::ofstream(Remote("gone.txt")) << "x";
    FTP.Delete("gone.txt");
    EXPECT_FALSE(std::filesystem::exists(Remote("gone.txt")));
}

INSTANTIATE_TEST_SUITE_P(Modes, RealTransfer, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "Passive" : "Active"; });

}  // namespace
