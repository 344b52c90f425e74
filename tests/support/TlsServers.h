// Real FTP servers with TLS on loopback, for the tests: vsftpd (explicit
// and implicit TLS, session reuse required), proftpd with mod_tls,
// pure-ftpd and pyftpdlib, each refusing plain logins and plain data, each with a
// certificate the test makes. proftpd and pure-ftpd run from Debian's
// packages unpacked beside the project (scripts/setup.sh), since the three
// conflict as installed packages.
#pragma once

#include "ChildProcess.h"
#include "TempDir.h"

#include <filesystem>
#include <memory>
#include <string>

// A certificate and its key, in a folder of their own.
struct TlsCertificate {
    // `name` goes in the subject and (as a DNS name or an address) in the
    // alternative names; an expired one ended yesterday.
    TlsCertificate(const std::string &name, bool expired = false);
    std::string Certificate() const { return Dir.File("cert.pem"); }
    std::string Key() const { return Dir.File("key.pem"); }
    // Certificate and key in one file, as pure-ftpd takes them.
    std::string Combined() const { return Dir.File("combined.pem"); }
    // SHA-256, "AB:CD:..." as the client reports it.
    std::string Fingerprint;

    TempDir Dir;
};

class TlsServer {
public:
    enum TKind { VsftpdExplicit, VsftpdImplicit, Proftpd, PureFtpd, Pyftpdlib };

    // Serves `root` (which gets a "pub" folder the server may write to).
    // On IPv6 loopback ([::1]) with `ipv6`.
    TlsServer(TKind kind, const TlsCertificate &certificate, const std::filesystem::path &root, bool ipv6 = false);
    ~TlsServer();

    // Why this kind cannot run here (not root, a server missing), or "".
    static std::string Unavailable(TKind kind);
    static const char *Name(TKind kind);

    int Port() const { return FPort; }
    // The address it listens on: "127.0.0.1" or "::1".
    std::string Host() const { return FIpv6 ? "::1" : "127.0.0.1"; }
    bool Implicit() const { return FKind == VsftpdImplicit; }
    std::string User() const;
    std::string Password() const;

private:
    TKind FKind;
    bool FIpv6 = false;
    TempDir FDir;
    int FPort = 0;
    std::unique_ptr<ChildProcess> FProcess;
};
