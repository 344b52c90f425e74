// FTP over TLS against real servers on loopback that refuse anything in
// clear: vsftpd (explicit and implicit, session reuse required), proftpd
// with mod_tls, pure-ftpd and pyftpdlib. Login, listing, download and
// upload, byte for byte, whole and resumed, in active and passive mode,
// over IPv4 and IPv6; and the certificates refused.
#include "AbortCheck.h"
#include "ResumeCheck.h"
#include "IdException.h"
#include "IdFTP.h"
#include "TempDir.h"
#include "FtpServerFixture.h"
#include "TlsServers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string RandomBytes(size_t count)
{
    std::mt19937 random(42);
    std::string bytes(count, '\0');
    for (char &byte : bytes)
        byte = char(random());
    return bytes;
}

class TlsTransfer : public ::testing::TestWithParam<TlsServer::TKind> {};

// In active mode, then passive: pub/file.bin listed, downloaded and
// uploaded again, byte for byte; then `after`.
void MoveFilesInBothModes(TIdFTP &ftp, const TempDir &dir, const fs::path &root, const std::string &payload,
                          const std::function<void()> &after = {})
{
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        ftp.Passive = passive;
        ftp.EnterFolder("/pub");
        ftp.SetTransferType(ftBinary);
        std::vector<std::string> lines;
        ftp.List(lines, "", true);
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [](const std::string &line) { return line.ends_with(" file.bin"); }));
        const std::string local = dir.File(passive ? "down-passive.bin" : "down-active.bin");
        ftp.Get("file.bin", local, true);
        EXPECT_EQ(Contents(local), payload);
        const std::string name = passive ? "up-passive.bin" : "up-active.bin";
        ftp.Put(local, name, false);
        EXPECT_EQ(Contents(root / "pub" / name), payload);
        if (after)
            after();
    }
}

TEST_P(TlsTransfer, LogsInListsAndMovesFilesInBothModes)
{
    if (const std::string why = TlsServer::Unavailable(GetParam()); !why.empty())
        GTEST_SKIP() << why;
    TempDir dir;
    const fs::path root = dir.Path() / "root";
    fs::create_directories(root / "pub");
    const std::string payload = RandomBytes(1 << 20);
    std::ofstream(root / "pub" / "file.bin", std::ios::binary) << payload;
    const TlsCertificate certificate("127.0.0.1");
    const TlsServer server(GetParam(), certificate, root);

    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = server.Port();
    ftp.User = server.User();
    ftp.Password = server.Password();
    ftp.UseTLS = server.Implicit() ? utUseImplicitTLS : utUseExplicitTLS;
    std::vector<std::string> said;
    ftp.OnStatus = [&said](TIdComponent *, TIdStatus, const std::string &text) { said.push_back(text); };
    TIdCertificateInfo seen;
    ftp.OnVerifyCertificate = [&](const TIdCertificateInfo &offered) {
        seen = offered;
        return offered.Fingerprint == certificate.Fingerprint;  // trusted, as a user who checked it
    };
    ftp.Connect(true);
    EXPECT_EQ(seen.Problem, "self-signed certificate");
    EXPECT_EQ(seen.Subject, "CN=127.0.0.1");
    const auto encrypted = std::find_if(said.begin(), said.end(),
                                        [](const std::string &text) { return text.starts_with("Encrypted with TLSv1."); });
    EXPECT_NE(encrypted, said.end());

    MoveFilesInBothModes(ftp, dir, root, payload, [&] {
        ExpectResumesBothWays(ftp, "file.bin", payload, root / "pub", GetParam() != TlsServer::Proftpd);
    });
    {
        std::ofstream(root / "pub" / "big.bin", std::ios::binary) << RandomBytes(32 << 20);
        TempDir folder;
        ExpectAbortFromAnotherThread(ftp, "big.bin", folder.Path(), GetParam() != TlsServer::Proftpd);
        // The aborted data connection spoils no session that the next one
        // resumes (vsftpd here requires resumption: a 522 otherwise).
        if (ftp.Connected()) {
            const std::string next = dir.File("after-abort.bin");
            ftp.Get("file.bin", next, true);
            EXPECT_EQ(Contents(next), payload);
        }
    }
    // Each of these servers ends its data connections with TLS's
    // close_notify: no download here had to go by its size.
    EXPECT_TRUE(std::none_of(said.begin(), said.end(), [](const std::string &text) {
        return text.starts_with("The server ends its data connections without closing TLS");
    }));
    ftp.Quit();
    ftp.OnStatus = nullptr;
}

// Over IPv6 ([::1]) each server moves files in both modes: the data
// connections go by EPSV and EPRT, as PASV and PORT carry no IPv6
// address. Only the server's own address may bring active data.
TEST_P(TlsTransfer, OverIPv6BothModesMoveFilesByteExact)
{
    if (const std::string why = TlsServer::Unavailable(GetParam()); !why.empty())
        GTEST_SKIP() << why;
    TempDir dir;
    const fs::path root = dir.Path() / "root";
    fs::create_directories(root / "pub");
    const std::string payload = RandomBytes(300000);
    std::ofstream(root / "pub" / "file.bin", std::ios::binary) << payload;
    const TlsCertificate certificate("127.0.0.1");
    const TlsServer server(GetParam(), certificate, root, true);

    TIdFTP ftp;
    ftp.Host = "::1";
    ftp.Port = server.Port();
    ftp.User = server.User();
    ftp.Password = server.Password();
    ftp.UseTLS = server.Implicit() ? utUseImplicitTLS : utUseExplicitTLS;
    ftp.OnVerifyCertificate = [&](const TIdCertificateInfo &offered) {
        return offered.Fingerprint == certificate.Fingerprint;
    };
    ftp.Connect(true);
    EXPECT_EQ(ftp.Socket()->RemoteIP, "::1");
    MoveFilesInBothModes(ftp, dir, root, payload);
    ftp.Quit();
}

std::string ServerName(const ::testing::TestParamInfo<TlsServer::TKind> &info)
{
    static const char *const names[] = {"VsftpdExplicit", "VsftpdImplicit", "Proftpd", "PureFtpd", "Pyftpdlib"};
    return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsTransfer,
                         ::testing::Values(TlsServer::VsftpdExplicit, TlsServer::VsftpdImplicit, TlsServer::Proftpd,
                                           TlsServer::PureFtpd, TlsServer::Pyftpdlib),
                         ServerName);

// TLS goes through a SOCKS proxy as plain FTP does: the handshake runs over
// the proxied connection, and the certificate is checked against the
// server's name, not the proxy's.
TEST(TlsThroughSocks, LogsInListsAndDownloads)
{
    if (const std::string why = TlsServer::Unavailable(TlsServer::VsftpdExplicit); !why.empty())
        GTEST_SKIP() << why;
    TempDir dir;
    const fs::path root = dir.Path() / "root";
    fs::create_directories(root / "pub");
    const std::string payload = RandomBytes(300000);
    std::ofstream(root / "pub" / "file.bin", std::ios::binary) << payload;
    const TlsCertificate certificate("127.0.0.1");
    const TlsServer server(TlsServer::VsftpdExplicit, certificate, root);
    const auto proxy = SocksProxy::MicroSocks();

    TIdFTP ftp;
    ftp.Host = "127.0.0.1";
    ftp.Port = server.Port();
    ftp.User = server.User();
    ftp.Password = server.Password();
    ftp.UseTLS = utUseExplicitTLS;
    ftp.Passive = true;
    ftp.SocksInfo.Host = "127.0.0.1";
    ftp.SocksInfo.Port = proxy->Port();
    ftp.SocksInfo.Version = svSocks5;
    std::string problem = "not asked";
    ftp.OnVerifyCertificate = [&](const TIdCertificateInfo &offered) {
        problem = offered.Problem;
        return offered.Fingerprint == certificate.Fingerprint;
    };
    ftp.Connect(true);
    EXPECT_EQ(problem, "self-signed certificate");  // no name mismatch: 127.0.0.1 is the server
    ftp.EnterFolder("/pub");
    ftp.SetTransferType(ftBinary);
    ftp.Get("file.bin", dir.File("down.bin"), true);
    EXPECT_EQ(Contents(dir.File("down.bin")), payload);
    ftp.Quit();
}

// What is wrong with a certificate reaches the one who decides; without a
// handler, only one that verifies is taken. Refused, nothing goes on.
TEST(TlsCertificates, ProblemsAreNamedAndARefusalEndsTheConnect)
{
    if (const std::string why = TlsServer::Unavailable(TlsServer::VsftpdExplicit); !why.empty())
        GTEST_SKIP() << why;
    const struct {
        const char *Name;
        bool Expired;
        bool Handler;
        const char *Problem;
    } rows[] = {
        {"other.example", false, true, "self-signed certificate; IP address mismatch"},
        {"127.0.0.1", true, true, "self-signed certificate; certificate has expired"},
        {"127.0.0.1", false, false, nullptr},  // no one to ask: refused
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Name);
        TempDir dir;
        const TlsCertificate certificate(row.Name, row.Expired);
        const TlsServer server(TlsServer::VsftpdExplicit, certificate, dir.Path() / "root");
        TIdFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = server.Port();
        ftp.User = server.User();
        ftp.UseTLS = utUseExplicitTLS;
        std::string problem;
        if (row.Handler)
            ftp.OnVerifyCertificate = [&problem](const TIdCertificateInfo &offered) {
                problem = offered.Problem;
                return false;
            };
        EXPECT_THROW(ftp.Connect(true), EIdTLSError);
        EXPECT_FALSE(ftp.Connected());
        if (row.Problem) {
            EXPECT_EQ(problem, row.Problem);
        }
    }
}

}  // namespace

// TLS where the server offers it: taken where it is (and then held to),
// plain with a word where the server has none.
TEST(TlsWhereOffered, TakenWhereOfferedAndSaidWhereNot)
{
    if (const std::string why = TlsServer::Unavailable(TlsServer::VsftpdExplicit); !why.empty())
        GTEST_SKIP() << why;
    TempDir dir;
    fs::create_directories(dir.Path() / "root");
    const TlsCertificate certificate("127.0.0.1");
    const TlsServer secure(TlsServer::VsftpdExplicit, certificate, dir.Path() / "root");
    const FtpServer plain;
    const struct {
        int Port;
        std::string User, Password;
        bool Encrypted;
    } cases[] = {{secure.Port(), secure.User(), secure.Password(), true},
                 {plain.Port(), FtpServer::User, FtpServer::Password, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Port);
        TIdFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = c.Port;
        ftp.User = c.User;
        ftp.Password = c.Password;
        ftp.UseTLS = utUseExplicitTLS;
        ftp.TLSWhenOffered = true;
        ftp.OnVerifyCertificate = [&](const TIdCertificateInfo &offered) {
            return offered.Fingerprint == certificate.Fingerprint;
        };
        std::vector<std::string> said;
        ftp.OnStatus = [&said](TIdComponent *, TIdStatus, const std::string &text) { said.push_back(text); };
        ftp.Connect(true);
        EXPECT_EQ(ftp.TLS() != nullptr, c.Encrypted);
        EXPECT_EQ(ftp.UseTLS, c.Encrypted ? utUseExplicitTLS : utNoTLS);
        EXPECT_EQ(std::count(said.begin(), said.end(), "The server offers no TLS: the connection is not encrypted."),
                  c.Encrypted ? 0 : 1);
        ftp.Quit();
    }
}
