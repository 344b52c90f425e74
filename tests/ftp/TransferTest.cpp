// Data connections and the file and folder commands against a scripted
// server: exact wire orders, refusals, aborts, and no file lost.
#include "FolderListing.h"
#include "IdException.h"
#include "IdStream.h"
#include "ScriptedFtp.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

TEST_F(ScriptedTransfer, ActiveListingWireOrderAndLineSplitting)
{
    Start([](PeerSocket &peer) {
        const std::string port = peer.ReadLine();
        EXPECT_EQ(port.substr(0, 15), "PORT 127,0,0,1,");
        peer.Send("200 PORT ok\r\n");
        EXPECT_EQ(peer.ReadLine(), "list");
        peer.Send("150 Here it comes\r\n");
        auto data = ConnectData(PortOfPortCommand(port));
        data->Send("one\r\ntwo\nthree\rfour\r\n\r\nafter blank\0hidden\r\n");
        data->Close();
        peer.Send("226 Done\r\n");
        EXPECT_EQ(peer.ReadLine().substr(0, 5), "PORT ");
        peer.Send("500 No\r\n");
        EXPECT_TRUE(peer.WaitForClose());
    });
    std::vector<std::string> lines{"stale"};
    FTP.List(lines, "", true);
    // A bare CR is part of its line.
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three\rfour", "", "after blank"}));
    EXPECT_EQ(FTP.DataConnection, nullptr);
    // PORT goes first and is refused: nothing else is sent.
    EXPECT_THROW(FTP.List(lines, "-a", false), EIdProtocolReplyError);
    EXPECT_EQ(FTP.DataConnection, nullptr);
    FTP.Disconnect();
    Server.Join();
    const std::string transcript = Server.Transcript();
    EXPECT_EQ(transcript.substr(transcript.rfind("\r\n", transcript.size() - 3) + 2, 5), "PORT ");
}

// Offered, the extended commands go first; a server that refuses them
// gets PASV and PORT, and is not asked again on that connection.
TEST_F(ScriptedTransfer, ExtendedDataCommandsWhereOfferedAndTheClassicOnesWhenRefused)
{
    FTP.KnownFeatures.ExtendedPassive = FTP.KnownFeatures.ExtendedPort = true;
    ScriptedPeer data;
    Start([&](PeerSocket &peer) {
        EXPECT_EQ(peer.ReadLine(), "EPSV");
        peer.Send("229 Entering Extended Passive Mode (|||" + std::to_string(data.Port()) + "|)\r\n");
        EXPECT_EQ(peer.ReadLine(), "list");
        peer.Send("150 Here\r\n226 Done\r\n");
        // Passive mode has worked: the command goes along unanswered.
        EXPECT_EQ(peer.ReadLine(), "EPSV");
        EXPECT_EQ(peer.ReadLine(), "list");
        peer.Send("500 EPSV not understood\r\n425 Use PASV first\r\n");
        EXPECT_EQ(peer.ReadLine().substr(0, 4), "PASV");
        peer.Send("227 =127,0,0,1," + std::to_string(data.Port() / 256) + "," + std::to_string(data.Port() % 256) + "\r\n");
        EXPECT_EQ(peer.ReadLine(), "list");
        peer.Send("150 Here\r\n226 Done\r\n");
        EXPECT_EQ(peer.ReadLine(), "PASV");  // no second EPSV
        EXPECT_EQ(peer.ReadLine(), "list");
        peer.Send("500 No\r\n425 No data connection\r\n");
        const std::string eprt = peer.ReadLine();
        EXPECT_TRUE(eprt.starts_with("EPRT |1|127.0.0.1|")) << eprt;
        peer.Send("502 Not here\r\n");
        EXPECT_EQ(peer.ReadLine().substr(0, 15), "PORT 127,0,0,1,");
        peer.Send("500 No\r\n");
        EXPECT_TRUE(peer.WaitForClose());
    });
    for (int i = 0; i < 2; ++i) {
        data.Serve([](PeerSocket &socket) { socket.Close(); });
        std::vector<std::string> lines;
        FTP.Passive = true;
        FTP.List(lines, "", true);
        data.Join();
    }
    std::vector<std::string> lines;
    EXPECT_THROW(FTP.List(lines, "", true), EIdProtocolReplyError);
    FTP.Passive = false;
    EXPECT_THROW(FTP.List(lines, "", true), EIdProtocolReplyError);
}

TEST_F(ScriptedTransfer, PassiveUploadStartsAtTheStreamPositionActiveAtItsStart)
{
    ScriptedPeer data;
    std::string passiveBytes, activeBytes;
    Start([&](PeerSocket &peer) {
        EXPECT_EQ(peer.ReadLine(), "PASV");
        peer.Send("227 =127,0,0,1," + std::to_string(data.Port() / 256) + "," + std::to_string(data.Port() % 256) +
                  "\r\n");
        EXPECT_EQ(peer.ReadLine(), "APPE log.txt");
        peer.Send("110 Restart marker?\r\n");
        data.Join();
        peer.Send("226 Done\r\n");

        const std::string port = peer.ReadLine();
        peer.Send("200 ok\r\n");
        EXPECT_EQ(peer.ReadLine(), "STOU ");
        peer.Send("150 Go\r\n");
        activeBytes = ConnectData(PortOfPortCommand(port))->ReadUntilClose();
        peer.Send("226 Stored as x1\r\n");
        peer.WaitForClose();
    });
    data.Serve([&](PeerSocket &d) { passiveBytes = d.ReadUntilClose(); });
    TMemoryStream source;
    source.Write("0123456789", 10);
    source.SetPosition(4);
    FTP.Passive = true;
    FTP.Put(&source, "log.txt", true);
    EXPECT_EQ(passiveBytes, "456789");

    FTP.Passive = false;
    source.SetPosition(4);
    FTP.Put(&source, "", true);  // no name: STOU, whatever the append flag
    EXPECT_EQ(activeBytes, "0123456789");
}

// Another thread's abort ends a transfer whose server went quiet at once,
// not after the read time-out; one asked for before the transfer began
// ends it in its wait for the data connection. Each time the ABOR's reply
// is read too (after a 426, or after the transfer's own 226), so the next
// command gets its own.
TEST_F(ScriptedTransfer, AnAbortFromAnotherThreadEndsAQuietTransferAtOnce)
{
    const struct {
        bool Early;
        const char *Replies;
    } rows[] = {
        {false, "426 Aborted\r\n226 ABOR ok\r\n"},
        {false, "226 Done\r\n225 No transfer to abort\r\n"},
        {true, "426 Aborted\r\n226 ABOR ok\r\n"},
    };
    std::atomic<bool> flowing{false};
    Start([&](PeerSocket &peer) {
        for (const auto &row : rows) {
            const std::string port = peer.ReadLine();
            peer.Send("200 ok\r\n");
            EXPECT_EQ(peer.ReadLine(), "retr f");
            peer.Send("150 Go\r\n");
            std::unique_ptr<PeerSocket> data;
            if (!row.Early) {
                data = ConnectData(PortOfPortCommand(port));
                data->Send("some bytes, then nothing");
                flowing = true;
            }
            EXPECT_EQ(peer.ReadLine(), "ABOR");
            peer.Send(row.Replies);
        }
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 in step\r\n");
        peer.WaitForClose();
    });
    const TempDir local;
    for (const auto &row : rows) {
        flowing = false;
        std::thread aborter;
        if (row.Early)
            FTP.RequestAbort();
        else
            aborter = std::thread([&] {
                while (!flowing)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                FTP.RequestAbort();
            });
        // Not interrupted, the wait would end in a time-out error instead.
        EXPECT_THROW(FTP.Get("f", local.File("f"), true), EIdTransferAborted) << row.Replies;
        if (aborter.joinable())
            aborter.join();
        EXPECT_FALSE(std::filesystem::exists(local.File("f")));
    }
    EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200);
}

TEST_F(ScriptedTransfer, AnAbortFromAWorkHandlerEndsTheDownloadWith426And226)
{
    Start([](PeerSocket &peer) {
        const std::string port = peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go\r\n");
        auto data = ConnectData(PortOfPortCommand(port));
        data->Send(std::string(1000, 'a'));
        EXPECT_EQ(peer.ReadLine(), "ABOR");
        EXPECT_TRUE(data->WaitForClose());
        peer.Send("426 Transfer aborted\r\n226 ABOR successful\r\n");
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 ok\r\n");
        peer.WaitForClose();
    });
    std::vector<std::string> events;
    FTP.OnWorkBegin = [&](TIdComponent *, TWorkMode mode, int64_t max) {
        events.push_back("begin " + std::to_string(mode) + " " + std::to_string(max));
    };
    FTP.OnWork = [&](TIdComponent *, TWorkMode, int64_t count) {
        events.push_back("work");
        if (count > 0)
            FTP.AbortTransfer();
    };
    FTP.OnWorkEnd = [&](TIdComponent *, TWorkMode) { events.push_back("end"); };
    TMemoryStream stream;
    FTP.Get("big", &stream);
    EXPECT_GT(stream.Size(), 0);
    EXPECT_EQ(events.front(), "begin 0 0");
    EXPECT_EQ(events.back(), "end");
    EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200);
}


TEST_F(ScriptedTransfer, CommandWordsAndArgumentsGoOutExactly)
{
    Start([](PeerSocket &peer) {
        const std::pair<const char *, const char *> exchanges[] = {
            {"CWD ", "250 ok\r\n"},
            {"CDUP", "250 ok\r\n"},
            {"PWD", "257 \"/home/a \"\"b\" is current\r\n"},
            {"MKD new dir", "257 \"new dir\" created\r\n"},
            {"RMD old", "250 ok\r\n"},
            {"DELE  spaced ", "250 ok\r\n"},
            {"RNFR a", "350 ready\r\n"},
            {"RNTO b", "250 ok\r\n"},
            {"RNFR missing", "550 no\r\n"},
            {"CWD x", "200 done anyway\r\n"},
        };
        for (const auto &[command, reply] : exchanges) {
            EXPECT_EQ(peer.ReadLine(), command);
            peer.Send(reply);
        }
        peer.WaitForClose();
    });
    FTP.EnterFolder("");
    FTP.EnterParentFolder();
    EXPECT_EQ(FTP.QueryCurrentFolder(), "/home/a ");
    FTP.CreateFolder("new dir");
    FTP.RemoveFolder("old");
    FTP.Delete(" spaced ");
    FTP.Rename("a", "b");
    EXPECT_THROW(FTP.Rename("missing", "never"), EIdProtocolReplyError);
    EXPECT_THROW(FTP.EnterFolder("x"), EIdProtocolReplyError);  // 200 is not 250
}

TEST_F(ScriptedTransfer, SizeGivesTheNumberOrMinusOne)
{
    // Sizes are 64-bit: files past 2 GiB and 4 GiB have theirs. Only plain
    // decimal digits are a size: no sign, no hexadecimal.
    const std::pair<const char *, int64_t> replies[] = {
        {"213 1234\r\n", 1234},
        {"213 0x1F\r\n", -1},
        {"213 $10\r\n", -1},
        {"213 2147483648\r\n", 2147483648},
        {"213 5000000000\r\n", 5000000000},
        {"213 -7\r\n", -1},
        {"213 +7\r\n", -1},
        {"213 9223372036854775808\r\n", -1},
        {"213 12 bytes\r\n", -1},
        {"213 --5\r\n", -1},  // one sign only
        {"213 0x-1F\r\n", -1},
        {"213\r\n", -1},
        {"550 No such file\r\n", -1},
        {"500 Unknown\r\n", -1},
    };
    Start([&](PeerSocket &peer) {
        for (const auto &[reply, size] : replies) {
            EXPECT_EQ(peer.ReadLine(), "SIZE f");
            peer.Send(reply);
        }
        peer.WaitForClose();
    });
    for (const auto &[reply, size] : replies)
        EXPECT_EQ(FTP.Size("f"), size) << reply;
}

TEST_F(ScriptedTransfer, DownloadOntoAnExistingFileNeedsTheOverwriteFlag)
{
    TempDir dir;
    const std::string path = dir.File("local.txt");
    std::ofstream(path) << "precious";
    Start([](PeerSocket &peer) {
        const std::string port = peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go\r\n");
        ConnectData(PortOfPortCommand(port))->Close();  // nothing at all
        peer.Send("226 Done\r\n");
        peer.WaitForClose();
    });
    try {
        FTP.Get("remote.txt", path, false);
        FAIL();
    } catch (const EIdFTPFileAlreadyExists &error) {
        EXPECT_STREQ(error.what(), "Destination file already exists.");
    }
    EXPECT_EQ(std::filesystem::file_size(path), 8u);
    FTP.Get("remote.txt", path, true);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    // The replaced file goes on a thread of its own, and goes entirely.
    for (int i = 0; i < 500 && std::distance(std::filesystem::directory_iterator(dir.Path()), {}) > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(ScriptedTransfer, AFolderOfTheTargetsNameIsNeverReplaced)
{
    TempDir dir;
    const std::string path = dir.File("taken");
    std::filesystem::create_directories(path + "/inside");
    Start([](PeerSocket &peer) { EXPECT_TRUE(peer.WaitForClose()); });  // nothing is sent
    for (bool overwrite : {true, false}) {
        try {
            FTP.Get("remote.txt", path, overwrite);
            ADD_FAILURE();
        } catch (const EFileStreamError &error) {
            EXPECT_EQ(error.what(), "Cannot create file " + path);
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(path + "/inside"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// Whatever ends a download early, the local file of that name is as it
// was and no temporary file stays behind.
TEST_F(ScriptedTransfer, AFailedDownloadLosesNothing)
{
    TempDir dir;
    const std::string path = dir.File("local.txt");
    std::ofstream(path) << "precious";
    using Script = std::function<void(PeerSocket &, const std::string &port)>;
    const std::pair<const char *, Script> failures[] = {
        {"refused", [](PeerSocket &peer, const std::string &) { peer.Send("550 No such file\r\n"); }},
        {"final reply 451",
         [](PeerSocket &peer, const std::string &port) {
             peer.Send("150 Go\r\n");
             ConnectData(PortOfPortCommand(port))->Send("half of it");
             peer.Send("451 Local error in processing\r\n");
         }},
        {"426 without 226",
         [](PeerSocket &peer, const std::string &port) {
             peer.Send("150 Go\r\n");
             ConnectData(PortOfPortCommand(port))->Send("half");
             peer.Send("426 Connection closed\r\n550 gone\r\n");
         }},
    };
    Start([&](PeerSocket &peer) {
        for (const auto &[name, script] : failures) {
            const std::string port = peer.ReadLine();
            peer.Send("200 ok\r\n");
            peer.ReadLine();
            script(peer, port);
        }
        peer.WaitForClose();
    });
    for (const auto &[name, script] : failures) {
        EXPECT_THROW(FTP.Get("remote.txt", path, true), EIdProtocolReplyError) << name;
        std::ifstream kept(path);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "precious") << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << name;
    }
}

TEST_F(ScriptedTransfer, OneCommandAtATime)
{
    Start([](PeerSocket &peer) {
        const std::string port = peer.ReadLine();
        peer.Send("200 ok\r\n");
        EXPECT_EQ(peer.ReadLine(), "retr f");
        peer.Send("150 Go\r\n");
        auto data = ConnectData(PortOfPortCommand(port));
        data->Send("first");
        // Nothing but the transfer's own lines may come meanwhile.
        EXPECT_FALSE(peer.WaitForClose(200));
        data->Send("second");
        data->Close();
        peer.Send("226 Done\r\n");
        EXPECT_EQ(peer.ReadLine(), "PWD");
        peer.Send("257 \"/\"\r\n");
        peer.WaitForClose();
    });
    // A handler that runs during the transfer tries a command of its own.
    std::vector<std::string> refusals;
    FTP.OnWork = [&](TIdComponent *, TWorkMode, int64_t) {
        try {
            FTP.EnterFolder("elsewhere");
        } catch (const EIdFTPBusy &error) {
            refusals.push_back(error.what());
        }
    };
    TMemoryStream stream;
    FTP.Get("f", &stream);
    EXPECT_EQ(stream.Data(), "firstsecond");
    ASSERT_FALSE(refusals.empty());
    EXPECT_EQ(refusals.front(), "Busy: another command is in progress.");
    FTP.OnWork = nullptr;
    EXPECT_EQ(FTP.QueryCurrentFolder(), "/");
}

// A peer that goes silent ends the call after the read time-out, on the
// control connection and on the data connection, reading or sending.
TEST_F(ScriptedTransfer, NoCallBlocksForever)
{
    FTP.ReadTimeout = 200;
    Start([](PeerSocket &peer) {
        EXPECT_EQ(peer.ReadLine(), "PWD");  // and no reply
        EXPECT_TRUE(peer.WaitForClose());
    });
    const auto timedOut = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const EIdSocketError &error) {
            return error.LastError == 10060 && std::string(error.what()) == "Socket Error # 10060\r\nConnection timed out.";
        }
        return false;
    };
    EXPECT_TRUE(timedOut([this] { FTP.QueryCurrentFolder(); }));
    EXPECT_FALSE(FTP.Connected());
    FTP.Disconnect();
    Server.Join();

    for (const bool sending : {false, true}) {
        Start([sending](PeerSocket &peer) {
            const std::string port = peer.ReadLine();
            peer.Send("200 ok\r\n");
            peer.ReadLine();
            peer.Send("150 Go\r\n");
            auto data = ConnectData(PortOfPortCommand(port));
            // Silent on the data connection, and reading nothing of it.
            if (sending)
                std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            else
                EXPECT_TRUE(data->WaitForClose());
            peer.Send("426 Gone\r\n");
            peer.WaitForClose();
        });
        TMemoryStream stream;
        stream.SetSize(64 << 20);  // more than the socket buffers hold
        EXPECT_TRUE(timedOut([&] { sending ? FTP.Put(&stream, "f", false) : FTP.Get("f", &stream); })) << sending;
        FTP.Disconnect();
        Server.Join();
    }
}

TEST_F(ScriptedTransfer, NoLineBreaksInCommands)
{
    Start([](PeerSocket &peer) { EXPECT_TRUE(peer.WaitForClose()); });
    const std::string names[] = {"a\r\nDELE b", "a\nb", std::string("a\0b", 3)};
    for (const std::string &name : names) {
        TMemoryStream stream;
        EXPECT_THROW(FTP.EnterFolder(name), EIdFTPInvalidArgument);
        EXPECT_THROW(FTP.Get(name, &stream), EIdFTPInvalidArgument);
        EXPECT_THROW(FTP.Put(&stream, name, false), EIdFTPInvalidArgument);
        EXPECT_THROW(FTP.Rename("old", name), EIdFTPInvalidArgument);
        EXPECT_THROW(FTP.Size(name), EIdFTPInvalidArgument);
    }
    FTP.Disconnect();
    Server.Join();
    EXPECT_EQ(Server.Transcript(), "");  // nothing at all went out
}

TEST(PassiveReply, AnExtendedReplyNamesItsPortBetweenFourDelimiters)
{
    const std::pair<const char *, int> lines[] = {
        {"229 Entering Extended Passive Mode (|||6446|)", 6446},
        {"229 Entering Extended Passive Mode (!!!65535!).", 65535},
        {"229 (|||0|)", -1}, {"229 (|||65536|)", -1}, {"229 (||6446|)", -1}, {"229 (|||64x6|)", -1},
        {"229 (1116461)", -1}, {"229 Entering Extended Passive Mode", -1}, {"229 (|||6446/)", -1},
    };
    for (const auto &[line, port] : lines) {
        if (port < 0)
            EXPECT_THROW((void)ParseExtendedPassivePort(line), EIdFTPInvalidPassiveReply) << line;
        else
            EXPECT_EQ(ParseExtendedPassivePort(line), port) << line;
    }
}

TEST(PassiveReply, FieldsBetweenParenthesesOrInTheLastWord)
{
    const struct {
        const char *Line, *Host;
        int Port;
    } good[] = {
        {"227 Entering Passive Mode (127,0,0,1,4,1)", "127.0.0.1", 1025},
        {"227 Entering Passive Mode (192,168,1,2,195,80).", "192.168.1.2", 50000},
        {"227 Entering Passive Mode 10,0,0,1,0,21", "10.0.0.1", 21},
        {"227 =10,0,0,1,0,21", "=10.0.0.1", 21},
        {"227 (a,b,c,d,1,2) host fields are not checked", "a.b.c.d", 258},
        {"227 (1,2,3,4,1,2,3)", "1.2.3.4", -1},
    };
    for (const auto &g : good) {
        if (g.Port < 0) {
            EXPECT_THROW(TIdFTP::ParsePassiveReply(g.Line), EConvertError) << g.Line;
            continue;
        }
        const auto address = TIdFTP::ParsePassiveReply(g.Line);
        EXPECT_EQ(address.Host, g.Host) << g.Line;
        EXPECT_EQ(address.Port, g.Port) << g.Line;
    }
    // Numbers that are no bytes, and port 0, name no server.
    for (const char *impossible : {"227 (127,0,0,1,256,1)", "227 (127,0,0,1,1,256)", "227 (127,0,0,1,0,0)",
                                   "227 (300,0,0,1,4,1)", "227 (127,0,0,1,-1,1)"})
        EXPECT_THROW(TIdFTP::ParsePassiveReply(impossible), EIdFTPInvalidPassiveReply) << impossible;
    for (const char *bad : {"227 Entering Passive Mode (127,0,0,1,x,1)", "227 (127,0,0,1,4,)", "227 Passive",
                            "227 (1,2,3,4)"}) {
        try {
            (void)TIdFTP::ParsePassiveReply(bad);
            FAIL() << bad;
        } catch (const EConvertError &error) {
            EXPECT_NE(std::string(error.what()).find("is not a valid integer value"), std::string::npos);
        }
    }
}

TEST(QuotedPath, TheFirstQuotedPartOrNothing)
{
    EXPECT_EQ(ExtractQuotedPath("257 \"/pub\" is current"), "/pub");
    EXPECT_EQ(ExtractQuotedPath("257 \"/a\"\"b\""), "/a");
    EXPECT_EQ(ExtractQuotedPath("257 /no/quotes"), "");
    EXPECT_EQ(ExtractQuotedPath("257 \"unclosed"), "");
}

// A listing is taken as it arrives and never kept whole: lines too long
// or stating what cannot be are skipped and counted, and past the most it
// may hold the reading stops with ABOR, the session kept in step.
TEST(BoundedListing, StopsAtItsLimitsAndSkipsWhatCannotBeALine)
{
    const struct {
        const char *Case;
        TFolderListingLimits Limits;
        TFolderListing::TCut Cut;
        size_t Entries;
    } rows[] = {
        {"entries", {10, size_t(1) << 20}, TFolderListing::ctEntries, 10},
        {"bytes", {1000, 100}, TFolderListing::ctBytes, 12},  // "file1000": 8 bytes each
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Case);
        ScriptedPeer server;
        server.Serve([](PeerSocket &peer) {
            peer.Send("220 Ready\r\n");
            const std::string port = peer.ReadLine();
            peer.Send("200 PORT ok\r\n");
            EXPECT_EQ(peer.ReadLine(), "list");
            peer.Send("150 Here it comes\r\n");
            auto data = ConnectData(PortOfPortCommand(port));
            data->Send(std::string(100 * 1024, 'x') + "\r\n");
            data->Send("-rw-r--r-- 1 u g 99999999999999999999 Jan  1 12:00 impossible\r\n");
            // Without end, as a hostile server would: until the client has
            // had enough.
            try {
                for (int i = 0;; ++i)
                    data->Send("-rw-r--r-- 1 u g 1 Jan  1 12:00 file" + std::to_string(1000 + i) + "\r\n");
            } catch (const std::exception &) {
            }
            EXPECT_EQ(peer.ReadLine(), "ABOR");
            peer.Send("426 Transfer aborted\r\n226 ABOR successful\r\n");
            EXPECT_EQ(peer.ReadLine(), "NOOP");
            peer.Send("200 Still here\r\n");
            peer.WaitForClose();
        });
        TIdFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = server.Port();
        ftp.Connect(false);
        std::vector<std::string> names;
        const TFolderListing listing =
            ReadFolderListing(ftp, row.Limits, [&names](TListingEntry &&entry) { names.push_back(entry.Name); });
        EXPECT_EQ(listing.Cut, row.Cut);
        EXPECT_EQ(listing.Entries, row.Entries);
        ASSERT_EQ(names.size(), row.Entries);
        EXPECT_EQ(names.front(), "file1000");
        EXPECT_EQ(listing.LongLines, 1u);
        EXPECT_EQ(listing.InvalidLines, 1u);
        EXPECT_EQ(ftp.SendCommand("NOOP", 200), 200);  // in step
        ftp.Disconnect();
        server.Join();
    }
}

}  // namespace
