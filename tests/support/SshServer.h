// OpenSSH's sshd on loopback for the tests, from Debian's package unpacked
// beside the project (scripts/setup.sh): its own host key and
// configuration, password, keyboard-interactive and key log-ins. It runs
// as the test user "ftptest" (made by the setup), the one user an
// unprivileged sshd can log in, so the tests need root to start it. Or, as
// a second server, proftpd's mod_sftp (password log-ins, the root folder
// the user's whole world).
#pragma once

#include "ChildProcess.h"
#include "TempDir.h"

#include <filesystem>
#include <memory>
#include <string>

class SshServer {
public:
    struct Options {
        bool Password = true, Interactive = true;
        // The scripted SFTP server (sftp_peer.py) in this mode instead of
        // OpenSSH's, or "".
        std::string ScriptedSftp;
        bool Proftpd = false;
        // An RSA host key beside the Ed25519 one.
        bool RsaToo = false;
        // Listening on [::1] too (OpenSSH's only).
        bool Ipv6 = false;
    };
    // Serves `root` (handed to the test user) as the folder SFTP starts in.
    explicit SshServer(const std::filesystem::path &root) : SshServer(root, Options{}) {}
    SshServer(const std::filesystem::path &root, Options options);
    ~SshServer();

    // Why it cannot run here, or "".
    static std::string Unavailable();
    static std::string User() { return "ftptest"; }
    static std::string Password() { return "Sesame-42"; }

    int Port() const { return FPort; }
    // The host key as a known-hosts line for 127.0.0.1 at this port, and
    // its fingerprint as ssh shows it.
    std::string KnownHostsLine(const std::string &key = "host_key") const;
    std::string Fingerprint() const;
    // A key pair made here ("key" and "key.pub" in a folder of the test's)
    // that the server takes; with a passphrase when one is given.
    std::string MakeClientKey(const std::filesystem::path &folder, const std::string &passphrase = "");
    // Starts again with a new host key; the one before is kept, and
    // RestoreHostKey starts again with it.
    void ChangeHostKey();
    void RestoreHostKey();
    // Killed, as a server that dies; started again on the same port.
    void Stop();
    void Start();

private:
    void StartProftpd();

    TempDir FDir;
    std::filesystem::path FRoot;
    Options FOptions;
    int FPort = 0;
    std::unique_ptr<ChildProcess> FProcess;
};
