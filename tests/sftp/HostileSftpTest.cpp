// A scripted SFTP server behind a real sshd, misbehaving: names that are
// paths, a listing without end, a file that shrinks under a resume, a
// connection cut in a transfer, a reply claiming gigabytes. The same rules
// as for FTP: nothing outside the target, nothing short kept as whole.
#include "HostKeys.h"
#include "IdStream.h"
#include "SessionSettings.h"
#include "SftpPacket.h"
#include "SftpSession.h"
#include "SshServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class HostileSftp : public ::testing::Test {
protected:
    // A session logged in to the scripted server in `mode`.
    std::unique_ptr<TSftpSession> Connect(const std::string &mode)
    {
        fs::create_directories(Dir.Path() / "root");
        SshServer::Options options;
        options.ScriptedSftp = mode;
        Server = std::make_unique<SshServer>(Dir.Path() / "root", options);
        std::ofstream(Dir.File("known_hosts")) << Server->KnownHostsLine() << "\n";
        auto session = std::make_unique<TSftpSession>(THostKeys({Dir.File("known_hosts")}, Dir.File("own")),
                                                      std::vector<std::string>{});
        TSessionSettings settings;
        settings.Host = "127.0.0.1";
        settings.Port = Server->Port();
        settings.User = SshServer::User();
        settings.Secret = SshServer::Password();
        session->Connect(settings);
        return session;
    }

    void SetUp() override
    {
        if (const std::string why = SshServer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
    }

    TempDir Dir;
    std::unique_ptr<SshServer> Server;
};

TEST_F(HostileSftp, NamesThatArePathsAreNoEntries)
{
    auto session = Connect("names");
    std::vector<std::string> names;
    const TFolderListing listing =
        session->List({}, [&](TListingEntry &&entry) { names.push_back(entry.Name); }, {});
    EXPECT_EQ(names, std::vector<std::string>{"ok.txt"});
    EXPECT_EQ(listing.InvalidLines, 3u);  // "a/b", "../up" and ""
}

TEST_F(HostileSftp, AListingWithoutEndIsCutAtTheLimit)
{
    auto session = Connect("endless");
    size_t count = 0;
    TFolderListingLimits limits;
    limits.MaxEntries = 5000;
    const TFolderListing listing = session->List(limits, [&](TListingEntry &&) { ++count; }, {});
    EXPECT_EQ(listing.Cut, TFolderListing::ctEntries);
    EXPECT_EQ(count, 5000u);
    // The session goes on.
    EXPECT_EQ(session->CurrentFolder(), "/");
    EXPECT_EQ(session->Size("data.bin"), 0);
}

TEST_F(HostileSftp, ShortFilesAndLostConnectionsFail)
{
    const struct {
        const char *Mode;
        int64_t Offset, Size;
        bool Lost;
    } cases[] = {
        // Resumed at 200 of a file said to hold 1000, which ends at 500.
        {"shrink", 200, 1000, false},
        {"cut", 0, 1000000, true},
        {"huge", 0, 1000, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Mode);
        auto session = Connect(c.Mode);
        TMemoryStream target;
        EXPECT_THROW(session->Get("data.bin", target, c.Offset, c.Size), EIdException);
        EXPECT_LT(target.Size(), c.Size - c.Offset);
        EXPECT_EQ(session->Connected(), !c.Lost);
    }
}

TEST_F(HostileSftp, AWriteRefusedSaysTheDiskMayBeFull)
{
    auto session = Connect("full");
    TMemoryStream source;
    source.Write("bytes", 5);
    source.SetPosition(0);
    try {
        session->Put(source, "up.bin", 0);
        ADD_FAILURE() << "the upload went through";
    } catch (const EIdProtocolReplyError &e) {
        EXPECT_STREQ(e.what(), "The server could not write /up.bin: its disk may be full.");
    }
    EXPECT_TRUE(session->Connected());
}

}  // namespace
