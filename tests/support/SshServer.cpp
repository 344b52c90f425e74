#include "SshServer.h"

#include "ScriptedPeer.h"

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const std::string Servers = VELDRA_SERVERS_DIR;

std::string FirstLine(const std::string &command)
{
    FILE *pipe = ::popen(command.c_str(), "r");
    char line[4096] = {};
    const bool read = pipe && std::fgets(line, sizeof line, pipe);
    if (pipe)
        ::pclose(pipe);
    std::string text = read ? line : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace

std::string SshServer::Unavailable()
{
    if (::geteuid() != 0)
        return "sshd runs as the test user, which takes root to start";
    if (!fs::exists(Servers + "/usr/sbin/sshd"))
        return "sshd is not unpacked in " + Servers + " (scripts/setup.sh does that)";
    if (!::getpwnam(User().c_str()))
        return "the test user " + User() + " is missing (scripts/setup.sh makes it)";
    return {};
}

SshServer::SshServer(const fs::path &root, Options options) : FRoot(root), FOptions(std::move(options))
{
    const std::string dir = FDir.Path().string();
    // The programs the test user runs are copied to where that user may
    // read them: the project may lie in a folder that only root enters.
    for (const char *program : {"/usr/sbin/sshd", "/usr/lib/openssh/sftp-server"})
        fs::copy_file(Servers + program, FDir.Path() / fs::path(program).filename());
    fs::copy_file(std::string(VELDRA_TEST_SUPPORT_DIR) + "/sftp_peer.py", FDir.Path() / "sftp_peer.py");
    // proftpd reads PEM keys.
    RunCommand(FOptions.Proftpd ? "ssh-keygen -q -m PEM -t rsa -b 2048 -N '' -f " + dir + "/host_key"
                         : "ssh-keygen -q -t ed25519 -N '' -f " + dir + "/host_key");
    if (FOptions.RsaToo)
        RunCommand("ssh-keygen -q -t rsa -b 2048 -N '' -f " + dir + "/host_key_rsa");
    std::ofstream(dir + "/authorized_keys").close();
    // Both folders the test user's; the test, as root, reads and writes
    // them all the same.
    RunCommand("chown -R " + User() + ": " + dir + " '" + FRoot.string() + "' && chmod 755 " + dir + " '" +
        FRoot.parent_path().string() + "' '" + FRoot.string() + "'");
    Start();
}

SshServer::~SshServer() = default;

void SshServer::Stop()
{
    if (FProcess)
        FProcess->Kill();
    FProcess.reset();
}

void SshServer::Start()
{
    if (FOptions.Proftpd)
        return StartProftpd();
    FProcess.reset();
    const std::string dir = FDir.Path().string();
    // The same port again after a restart: known hosts name it.
    if (FPort == 0)
        FPort = FreeLoopbackPort();
    const std::string sftpServer = FOptions.ScriptedSftp.empty()
                                       ? dir + "/sftp-server -d '" + FRoot.string() + "'"
                                       : "/usr/bin/python3 " + dir + "/sftp_peer.py " + FOptions.ScriptedSftp;
    std::ofstream config(dir + "/sshd_config");
    config << "Port " << FPort << "\nListenAddress 127.0.0.1\n" << (FOptions.Ipv6 ? "ListenAddress [::1]\n" : "")
           << "HostKey " << dir << "/host_key\nPidFile none\n"
           << (FOptions.RsaToo ? "HostKey " + dir + "/host_key_rsa\n" : std::string())
           << "StrictModes no\nUsePAM yes\nAuthorizedKeysFile " << dir << "/authorized_keys\n"
           << "PasswordAuthentication " << (FOptions.Password ? "yes" : "no") << "\n"
           << "KbdInteractiveAuthentication " << (FOptions.Interactive ? "yes" : "no") << "\n"
           << "Subsystem sftp " << sftpServer << "\n";
    config.close();
    // Unprivileged, as the test user: no privilege separation user needed,
    // and that user alone logs in.
    FProcess = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/setpriv", "--reuid=" + User(), "--regid=" + User(), "--clear-groups", dir + "/sshd",
        "-D", "-e", "-f", dir + "/sshd_config"});
    FProcess->WaitForLine("Server listening");
}

void SshServer::StartProftpd()
{
    const std::string dir = FDir.Path().string();
    FPort = FreeLoopbackPort();
    const passwd *user = ::getpwnam(User().c_str());
    // An AuthUserFile line: the test user, its password hashed, its ids,
    // and the root folder as its home.
    const std::string ids = std::to_string(user->pw_uid) + ":" + std::to_string(user->pw_gid);
    RunCommand("printf '%s:%s:" + ids + "::%s:/bin/sh\\n' " + User() + " \"$(openssl passwd -6 " + Password() +
               ")\" '" + FRoot.string() + "' > " + dir + "/passwd && chmod 600 " + dir + "/passwd");
    std::ofstream(dir + "/proftpd.conf")
        << "ServerType standalone\nServerName \"proftpd sftp peer\"\nPort " << FPort
        << "\nDefaultAddress 127.0.0.1\nUser nobody\nGroup nogroup\nUseFtpUsers off\nScoreboardFile " << dir
        << "/scoreboard\nPidFile " << dir << "/pid\nDelayTable none\nWtmpLog off\nUseReverseDNS off\nModulePath "
        << Servers << "/usr/lib/proftpd\nLoadModule mod_sftp.c\nSFTPEngine on\nSFTPHostKey " << dir
        << "/host_key\nSFTPAuthMethods password\nAuthUserFile " << dir
        << "/passwd\nAuthOrder mod_auth_file.c\nRequireValidShell off\nDefaultRoot ~\nAllowOverwrite on\nUmask 022\n";
    // As root: it changes to the user for a session, and into its root.
    FProcess = std::make_unique<ChildProcess>(
        std::vector<std::string>{Servers + "/usr/sbin/proftpd", "-n", "-q", "-c", dir + "/proftpd.conf"});
    WaitUntilListening(FPort);
}

std::string SshServer::KnownHostsLine(const std::string &name) const
{
    const std::string key = FirstLine("cat " + FDir.File(name + ".pub"));
    return "[127.0.0.1]:" + std::to_string(FPort) + " " + key.substr(0, key.rfind(' '));
}

std::string SshServer::Fingerprint() const
{
    // "256 SHA256:... comment (ED25519)"
    const std::string line = FirstLine("ssh-keygen -l -E sha256 -f " + FDir.File("host_key.pub"));
    const size_t start = line.find(' ') + 1;
    return line.substr(start, line.find(' ', start) - start);
}

std::string SshServer::MakeClientKey(const fs::path &folder, const std::string &passphrase)
{
    const std::string key = (folder / "key").string();
    fs::remove(key);
    fs::remove(key + ".pub");
    RunCommand("ssh-keygen -q -t ed25519 -N '" + passphrase + "' -f " + key);
    RunCommand("cat " + key + ".pub >> " + FDir.File("authorized_keys"));
    return key;
}

void SshServer::ChangeHostKey()
{
    const std::string key = FDir.File("host_key");
    fs::rename(key, key + ".before");
    fs::rename(key + ".pub", key + ".before.pub");
    RunCommand("ssh-keygen -q -t ed25519 -N '' -f " + key + " && chown " + User() + ": " + key + "*");
    Start();
}

void SshServer::RestoreHostKey()
{
    const std::string key = FDir.File("host_key");
    fs::rename(key + ".before", key);
    fs::rename(key + ".before.pub", key + ".pub");
    Start();
}
