#include "FtpServerFixture.h"

#include "ScriptedPeer.h"

#include <fstream>
#include <stdexcept>

#include <unistd.h>

FtpServer::FtpServer(const std::string &host)
{
    FProcess = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/python3", VELDRA_TEST_SUPPORT_DIR "/ftp_server.py", "--root", FRoot.Path().string(), "--user", User,
        "--password", Password, "--cut", "--host", host});
    const std::string line = FProcess->WaitForLine("PORT ");
    FPort = std::stoi(line.substr(line.find("PORT ") + 5));
}

std::unique_ptr<SocksProxy> SocksProxy::Dante()
{
    std::unique_ptr<SocksProxy> proxy(new SocksProxy);
    proxy->FPort = FreeLoopbackPort();
    const std::string config = proxy->FDir.File("danted.conf");
    std::ofstream(config) << "logoutput: stderr\n"
                          << "internal: 127.0.0.1 port = " << proxy->FPort << "\n"
                          << "external: 127.0.0.1\n"
                          << "clientmethod: none\n"
                          << "socksmethod: none\n"
                          << "user.privileged: root\n"
                          << "user.unprivileged: nobody\n"
                          << "client pass {\n  from: 127.0.0.0/8 to: 0.0.0.0/0\n}\n"
                          << "socks pass {\n  from: 127.0.0.0/8 to: 127.0.0.0/8\n  command: connect\n"
                          << "  protocol: tcp\n}\n";
    proxy->FProcess = std::make_unique<ChildProcess>(std::vector<std::string>{
        VELDRA_SERVERS_DIR "/usr/sbin/danted", "-f", config, "-N", "1", "-p", proxy->FDir.File("danted.pid")});
    proxy->FProcess->WaitForLine("running");
    return proxy;
}

std::unique_ptr<SocksProxy> SocksProxy::Tinyproxy(const std::string &user, const std::string &password)
{
    std::unique_ptr<SocksProxy> proxy(new SocksProxy);
    proxy->FPort = FreeLoopbackPort();
    const std::string config = proxy->FDir.File("tinyproxy.conf");
    std::ofstream(config) << "Port " << proxy->FPort << "\nListen 127.0.0.1\nTimeout 60\nMaxClients 50\n"
                          << "Allow 127.0.0.1\nLogLevel Error\n"
                          << (::geteuid() == 0 ? "User nobody\nGroup nogroup\n" : "")
                          << (user.empty() ? std::string() : "BasicAuth " + user + " " + password + "\n");
    proxy->FProcess = std::make_unique<ChildProcess>(
        std::vector<std::string>{VELDRA_SERVERS_DIR "/usr/bin/tinyproxy", "-d", "-c", config});
    WaitUntilListening(proxy->FPort);
    return proxy;
}

std::unique_ptr<SocksProxy> SocksProxy::MicroSocks(const std::string &user, const std::string &password)
{
    std::unique_ptr<SocksProxy> proxy(new SocksProxy);
    proxy->FPort = FreeLoopbackPort();
    std::vector<std::string> arguments{"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(proxy->FPort)};
    if (!user.empty())
        arguments.insert(arguments.end(), {"-u", user, "-P", password});
    proxy->FProcess = std::make_unique<ChildProcess>(arguments);
    // microsocks says nothing when it is ready.
    WaitUntilListening(proxy->FPort);
    return proxy;
}
