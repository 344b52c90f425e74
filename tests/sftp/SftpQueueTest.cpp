// The transfer queue over SFTP against sshd: a download whose connection
// is cut half way goes on from its part after the retry, and what arrives
// is the server's file byte for byte; nothing short is kept as whole.
#include "NewsRecord.h"
#include "SessionSettings.h"
#include "SshServer.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

TEST(SftpQueue, ADownloadCutHalfWayGoesOnFromItsPart)
{
    if (const std::string why = SshServer::Unavailable(); !why.empty())
        GTEST_SKIP() << why;
    TempDir remote, local;
    fs::create_directory(remote.Path() / "root");
    std::string bytes(96 << 20, '\0');
    std::mt19937 random(9);
    for (size_t i = 0; i < bytes.size(); i += 4)
        *reinterpret_cast<uint32_t *>(&bytes[i]) = random();
    std::ofstream(remote.Path() / "root" / "big.bin", std::ios::binary) << bytes;
    SshServer server(remote.Path() / "root");

    TNewsRecord news;
    TTransferRunner runner(news);
    runner.RetryDelay = 0;
    TSessionSettings settings;
    settings.Protocol = "sftp";
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.User = SshServer::User();
    settings.Secret = SshServer::Password();
    settings.Fingerprint = server.Fingerprint();  // as the window's log-in settled it
    runner.SetSession(settings, "ftptest@sftp-test");
    TTransferItem item;
    item.RemoteFolder = (remote.Path() / "root").string();
    item.RemoteName = "big.bin";
    item.LocalPath = local.File("big.bin");
    runner.Enqueue({item});

    // The server's side of the connection ends once a part has come.
    bool cut = false;
    QElapsedTimer bound;
    bound.start();
    while (runner.Active() && bound.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (const auto &entry : fs::directory_iterator(local.Path()))
            if (!cut && entry.path().extension() == ".veldra-part" && entry.file_size() > (16 << 20)) {
                // "[r]": the pattern does not match the shell that runs it.
                const std::string kill = "pkill -f 'sftp-serve[r] -d " + (remote.Path() / "root").string() + "'";
                cut = std::system(kill.c_str()) == 0;
                EXPECT_FALSE(fs::exists(local.File("big.bin"))) << "a short file kept as whole";
            }
    }
    ASSERT_FALSE(runner.Active());
    ASSERT_TRUE(cut) << "the transfer ended before it could be cut: " << news.Lines.join('\n').toStdString();
    EXPECT_TRUE(Contents(local.Path() / "big.bin") == bytes);
    const QStringList resumed = news.Lines.filter("Resuming big.bin at byte ");
    EXPECT_EQ(resumed.size(), 1) << news.Lines.join('\n').toStdString();
}

}  // namespace
