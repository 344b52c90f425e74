// Times kept and compared against real servers on loopback (vsftpd,
// proftpd, pure-ftpd, pyftpdlib, each over TLS): an uploaded file takes
// the local time by whichever command the server knows, and its listing
// compares with a local file to the minute ("ls" lines) and to the second
// (machine listings). Where the server hashes files, its digest is the
// file's.
#include "FolderComparison.h"
#include "FtpSession.h"
#include "IdFTP.h"
#include "IdGlobal.h"
#include "IdStream.h"
#include "SessionSettings.h"
#include "TlsServers.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class RealServerTimes : public ::testing::TestWithParam<TlsServer::TKind> {};

TCompareEntry ListedEntry(TRemoteSession &session, const std::string &name)
{
    TCompareEntry found;
    session.EnterFolder("/pub");
    session.List({}, [&](TListingEntry &&entry) {
        if (entry.Name == name)
            found = CompareEntryOf(entry, name);
    }, nullptr);
    return found;
}

TCompared LocalAgainst(const TCompareEntry &remote, int64_t seconds)
{
    TCompareEntry local = remote;
    local.Seconds = seconds;
    local.Precision = 1;
    return CompareFolders({local}, {remote}, TCompareBy::SizeAndTime).Local.at(local.Name);
}

TEST_P(RealServerTimes, AnUploadTakesItsTimeAndComparesToTheListingsPrecision)
{
    if (const std::string why = TlsServer::Unavailable(GetParam()); !why.empty())
        GTEST_SKIP() << why;
    // The servers' "ls" times are in their zone: UTC, as the comparison
    // reads them.
    setenv("TZ", "UTC", 1);
    tzset();
    TempDir dir;
    const fs::path root = dir.Path() / "root";
    fs::create_directories(root / "pub");
    const TlsCertificate certificate("127.0.0.1");
    const TlsServer server(GetParam(), certificate, root);

    TSessionSettings settings;
    settings.Protocol = server.Implicit() ? "ftps" : "ftpes";
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.User = server.User();
    settings.Secret = server.Password();
    settings.UseTLS = server.Implicit() ? utUseImplicitTLS : utUseExplicitTLS;
    settings.Fingerprint = certificate.Fingerprint;
    TFtpSession transfer;
    transfer.Connect(settings);
    transfer.EnterFolder("/pub");
    TMemoryStream bytes;
    bytes.Write("twelve bytes", 12);
    bytes.SetPosition(0);
    transfer.Put(bytes, "times.txt", 0);
    // Two hours ago, at an odd second: recent enough for "ls" to show the
    // minute.
    const int64_t when = (int64_t(std::time(nullptr)) - 7200) / 60 * 60 + 37;
    ASSERT_TRUE(transfer.SetModificationTime("times.txt", TimeTextOfSeconds(when)));
    EXPECT_EQ(transfer.ModificationTime("times.txt"), TimeTextOfSeconds(when));

    const TCompareEntry minute = ListedEntry(transfer, "times.txt");
    EXPECT_EQ(minute.Size, 12);
    EXPECT_EQ(minute.Precision, 60);
    EXPECT_EQ(LocalAgainst(minute, when), TCompared::Same);
    EXPECT_EQ(LocalAgainst(minute, when + 60), TCompared::NewerHere);
    EXPECT_EQ(LocalAgainst(minute, when - 120), TCompared::OlderHere);

    // The window's client asks for machine listings where they are offered.
    TIdFTP ftp;
    ftp.AskFeatures = true;
    ftp.OnVerifyCertificate = [&](const TIdCertificateInfo &offered) {
        return offered.Fingerprint == certificate.Fingerprint;
    };
    TFtpSession browsing(ftp);
    browsing.Connect(settings);

    // Where the server hashes files (proftpd's mod_digest), its SHA-256 is
    // the file's, on a transfer's connection that took what the browsing
    // one's FEAT told.
    TSessionSettings settled = settings;
    browsing.Settle(settled);
    TFtpSession hashing;
    hashing.Connect(settled);
    hashing.EnterFolder("/pub");
    const bool hashes = GetParam() == TlsServer::Proftpd;
    EXPECT_EQ(hashing.HashKind(), hashes ? THashKind::Sha256 : THashKind::None);
    EXPECT_EQ(hashing.FileHash("times.txt").Hex,
              hashes ? QCryptographicHash::hash("twelve bytes", QCryptographicHash::Sha256).toHex().toStdString() : "");
    EXPECT_EQ(hashing.FileHash("missing.txt").Kind, THashKind::None);

    if (!ftp.Features().MachineListing) {
        EXPECT_EQ(GetParam() <= TlsServer::VsftpdImplicit, true) << "only vsftpd offers no MLSD";
        return;
    }
    const TCompareEntry second = ListedEntry(browsing, "times.txt");
    EXPECT_EQ(second.Precision, 1);
    EXPECT_EQ(LocalAgainst(second, when), TCompared::Same);
    EXPECT_EQ(LocalAgainst(second, when + 1), TCompared::NewerHere);
    browsing.Close();
}

std::string ServerName(const ::testing::TestParamInfo<TlsServer::TKind> &info)
{
    static const char *const names[] = {"VsftpdExplicit", "VsftpdImplicit", "Proftpd", "PureFtpd", "Pyftpdlib"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerTimes,
                         ::testing::Values(TlsServer::VsftpdExplicit, TlsServer::VsftpdImplicit, TlsServer::Proftpd,
                                           TlsServer::PureFtpd, TlsServer::Pyftpdlib),
                         ServerName);

}  // namespace
