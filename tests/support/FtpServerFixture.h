// A real FTP server (pyftpdlib from Debian) on 127.0.0.1 with a temporary
// root folder, a user "tester" with password "secret", and anonymous login.
// A download of a "cut*" file ends its session half way; "slow*" files
// move at 2 MB a second; the first download of a "drop*" file loses its
// data connection half way; a ".no-rest" file in the root refuses REST,
// a ".no-port" file PORT.
#pragma once

#include "ChildProcess.h"
#include "TempDir.h"

#include <memory>
#include <string>

class FtpServer {
public:
    // On 127.0.0.1, or on IPv6 loopback with "::1".
    explicit FtpServer(const std::string &host = "127.0.0.1");
    int Port() const { return FPort; }
    const TempDir &Root() const { return FRoot; }
    // Ends the server as a kill would: its connections close mid-way.
    void Stop() { FProcess->Stop(); }
    static constexpr const char *User = "tester";
    static constexpr const char *Password = "secret";

private:
    TempDir FRoot;
    std::unique_ptr<ChildProcess> FProcess;
    int FPort = 0;
};

// SOCKS proxies from Debian in front of loopback servers.
class SocksProxy {
public:
    // Dante's server: SOCKS 4 and 5 without authentication.
    static std::unique_ptr<SocksProxy> Dante();
    // microsocks: SOCKS 5, with user and password when given.
    static std::unique_ptr<SocksProxy> MicroSocks(const std::string &user = {}, const std::string &password = {});
    // tinyproxy: an HTTP proxy's CONNECT, with Basic authentication when a
    // user is given.
    static std::unique_ptr<SocksProxy> Tinyproxy(const std::string &user = {}, const std::string &password = {});
    int Port() const { return FPort; }

private:
    SocksProxy() = default;
    TempDir FDir;
    std::unique_ptr<ChildProcess> FProcess;
    int FPort = 0;
};
