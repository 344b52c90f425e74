#include "SshConnection.h"

#include "FailureText.h"

#include <QByteArray>

#include <libssh/libssh.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace {

std::string Join(const std::vector<std::string> &items, const char *between = ", ")
{
    std::string text;
    for (const std::string &item : items)
        text += (text.empty() ? "" : between) + item;
    return text;
}

// The host key algorithms to ask for: those of the key types known for the
// server first, then the rest in the library's own order.
std::string HostKeyAlgorithms(const std::vector<std::string> &knownTypes)
{
    const std::vector<std::pair<std::string, std::string>> all = {
        {"ssh-ed25519", "ssh-ed25519"},
        {"ecdsa-sha2-nistp521", "ecdsa-sha2-nistp521"},
        {"ecdsa-sha2-nistp384", "ecdsa-sha2-nistp384"},
        {"ecdsa-sha2-nistp256", "ecdsa-sha2-nistp256"},
        {"ssh-rsa", "rsa-sha2-512,rsa-sha2-256"},
    };
    std::vector<std::string> order;
    for (const std::string &type : knownTypes)
        for (const auto &[keyType, algorithm] : all)
            if (keyType == type)
                order.push_back(algorithm);
    for (const auto &[keyType, algorithm] : all)
        if (std::find(order.begin(), order.end(), algorithm) == order.end())
            order.push_back(algorithm);
    return Join(order, ",");
}

}  // namespace

TSshConnection::TSshConnection() : FSession(ssh_new())
{
    if (!FSession)
        throw EIdException("The SSH library could not start a session.");
}

TSshConnection::~TSshConnection()
{
    Close();
    ssh_free(FSession);
}

void TSshConnection::Fail(const std::string &what) const
{
    throw EIdException(what + ": " + ssh_get_error(FSession));
}

void TSshConnection::Lost() const
{
    // A connection gone on the way, as a dropped FTP connection is: worth
    // a retry.
    throw EIdConnClosedGracefully(std::string("The connection was lost: ") + ssh_get_error(FSession));
}

void TSshConnection::Open(int socket, const std::string &host, const std::string &user,
                          const std::vector<std::string> &knownTypes, int readTimeout)
{
    FHost = host;
    FUser = user;
    // Whole seconds, at least one; no time-out is a long one.
    long timeout = readTimeout < 0 ? 3600 : std::max(1L, long(readTimeout + 999) / 1000);
    ssh_options_set(FSession, SSH_OPTIONS_FD, &socket);
    ssh_options_set(FSession, SSH_OPTIONS_HOST, host.c_str());
    ssh_options_set(FSession, SSH_OPTIONS_USER, user.c_str());
    ssh_options_set(FSession, SSH_OPTIONS_TIMEOUT, &timeout);
    // No config file: what the user's ~/.ssh/config says of a host (a
    // proxy command, another user) is no part of a site here.
    const int process = 0;
    ssh_options_set(FSession, SSH_OPTIONS_PROCESS_CONFIG, &process);
    const std::string algorithms = HostKeyAlgorithms(knownTypes);
    ssh_options_set(FSession, SSH_OPTIONS_HOSTKEYS, algorithms.c_str());
    if (ssh_connect(FSession) != SSH_OK)
        Fail("The SSH connection failed");
}

THostKey TSshConnection::HostKey() const
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(FSession, &key) != SSH_OK)
        Fail("The server showed no host key");
    THostKey out;
    out.Type = ssh_key_type_to_char(ssh_key_type(key));
    char *base64 = nullptr;
    if (ssh_pki_export_pubkey_base64(key, &base64) == SSH_OK) {
        out.Blob = QByteArray::fromBase64(base64).toStdString();
        ssh_string_free_char(base64);
    }
    ssh_key_free(key);
    return out;
}

bool TSshConnection::Ask(TSshLogin &login, const TLoginPrompt &prompt, std::string &answer)
{
    if (!login.Prompt)
        return false;
    if (!login.Prompt(prompt, answer))
        throw EAbort();
    return true;
}

void TSshConnection::LogIn(TSshLogin &login)
{
    FTried.clear();
    FPasswordRefused = false;
    int rc = ssh_userauth_none(FSession, nullptr);
    if (rc == SSH_AUTH_SUCCESS)
        return;
    if (rc == SSH_AUTH_ERROR)
        Fail("The log-in failed");
    const int methods = ssh_userauth_list(FSession, nullptr);
    if (methods & SSH_AUTH_METHOD_PUBLICKEY) {
        if (login.UseAgent && TryAgent())
            return;
        const std::vector<std::string> keys =
            login.KeyFile.empty() ? login.DefaultKeys : std::vector<std::string>{login.KeyFile};
        for (const std::string &key : keys)
            if (TryKeyFile(login, key))
                return;
    }
    if ((methods & SSH_AUTH_METHOD_PASSWORD) && TryPassword(login))
        return;
    if ((methods & SSH_AUTH_METHOD_INTERACTIVE) && TryInteractive(login))
        return;
    const std::string who = "\"" + FUser + "\"";
    if (FPasswordRefused)
        throw ESshLogInRefused("The server refused the password for " + who + ".");
    if (!FTried.empty())
        throw ESshLogInRefused("The server refused the log-in as " + who + " (tried: " + Join(FTried) + ").");
    throw ESshLogInRefused("The server offers no way of logging in as " + who +
                           " that Veldra can use: give a password or a key file.");
}

bool TSshConnection::TryAgent()
{
    if (!std::getenv("SSH_AUTH_SOCK"))
        return false;
    const int rc = ssh_userauth_agent(FSession, nullptr);
    if (rc == SSH_AUTH_ERROR)
        Fail("The log-in with the SSH agent's keys failed");
    if (rc != SSH_AUTH_SUCCESS)
        FTried.push_back("the SSH agent's keys");
    return rc == SSH_AUTH_SUCCESS;
}

bool TSshConnection::TryKeyFile(TSshLogin &login, const std::string &path)
{
    if (!std::filesystem::exists(path)) {
        // The site's own key is missed; the usual ones are only tried.
        if (login.KeyFile == path)
            FTried.push_back("the key " + path + ", which is not there");
        return false;
    }
    // Asked first with the public key, where there is one, so that no
    // passphrase is asked for a key the server would not take.
    ssh_key publicKey = nullptr;
    if (ssh_pki_import_pubkey_file((path + ".pub").c_str(), &publicKey) == SSH_OK) {
        const int rc = ssh_userauth_try_publickey(FSession, nullptr, publicKey);
        ssh_key_free(publicKey);
        if (rc != SSH_AUTH_SUCCESS) {
            FTried.push_back("the key " + path);
            return false;
        }
    }
    ssh_key key = nullptr;
    std::string passphrase = login.KeyFile == path ? login.Passphrase : std::string();
    while (ssh_pki_import_privkey_file(path.c_str(), passphrase.empty() ? nullptr : passphrase.c_str(), nullptr,
                                       nullptr, &key) != SSH_OK) {
        TLoginPrompt prompt;
        prompt.Kind = TLoginPrompt::Passphrase;
        prompt.Title = "Key passphrase";
        prompt.Text = passphrase.empty() ? "Passphrase for the key " + path + ":"
                                         : "Wrong passphrase. Passphrase for the key " + path + ":";
        if (!Ask(login, prompt, passphrase)) {
            FTried.push_back("the key " + path + " (it needs its passphrase)");
            return false;
        }
    }
    const int rc = ssh_userauth_publickey(FSession, nullptr, key);
    ssh_key_free(key);
    if (rc == SSH_AUTH_ERROR)
        Fail("The log-in with the key " + path + " failed");
    if (rc != SSH_AUTH_SUCCESS) {
        FTried.push_back("the key " + path);
        return false;
    }
    login.KeyFile = path;
    login.Passphrase = passphrase;
    return true;
}

bool TSshConnection::TryPassword(TSshLogin &login)
{
    std::string password = login.Password;
    if (password.empty()) {
        TLoginPrompt prompt;
        prompt.Title = "Password";
        prompt.Text = "Password for " + FUser + "@" + FHost + ":";
        if (!Ask(login, prompt, password))
            return false;
    }
    const int rc = ssh_userauth_password(FSession, nullptr, password.c_str());
    if (rc == SSH_AUTH_ERROR)
        Fail("The log-in with a password failed");
    if (rc != SSH_AUTH_SUCCESS) {
        FPasswordRefused = true;
        FTried.push_back("a password");
        return false;
    }
    login.Password = password;
    return true;
}

bool TSshConnection::TryInteractive(TSshLogin &login)
{
    // The password given, once, for a lone hidden prompt; a password
    // already refused is asked for again, in the server's words.
    bool passwordUsed = FPasswordRefused || login.Password.empty();
    int rc = ssh_userauth_kbdint(FSession, nullptr, nullptr);
    while (rc == SSH_AUTH_INFO) {
        const int count = ssh_userauth_kbdint_getnprompts(FSession);
        std::string typedPassword;
        for (int i = 0; i < count; ++i) {
            char echo = 0;
            TLoginPrompt prompt;
            prompt.Kind = TLoginPrompt::Interactive;
            prompt.Title = ssh_userauth_kbdint_getname(FSession);
            prompt.Instruction = ssh_userauth_kbdint_getinstruction(FSession);
            prompt.Text = ssh_userauth_kbdint_getprompt(FSession, unsigned(i), &echo);
            prompt.Echo = echo != 0;
            std::string answer;
            if (count == 1 && !prompt.Echo && !passwordUsed) {
                answer = login.Password;
                passwordUsed = true;
            } else if (!Ask(login, prompt, answer)) {
                return false;
            } else if (count == 1 && !prompt.Echo) {
                typedPassword = answer;
            }
            ssh_userauth_kbdint_setanswer(FSession, unsigned(i), answer.c_str());
        }
        rc = ssh_userauth_kbdint(FSession, nullptr, nullptr);
        if (rc == SSH_AUTH_SUCCESS && !typedPassword.empty())
            login.Password = typedPassword;
    }
    if (rc == SSH_AUTH_ERROR)
        Fail("The interactive log-in failed");
    if (rc != SSH_AUTH_SUCCESS) {
        FPasswordRefused = FPasswordRefused || !login.Password.empty();
        FTried.push_back("the server's questions");
    }
    return rc == SSH_AUTH_SUCCESS;
}

void TSshConnection::StartSubsystem(const char *name)
{
    FChannel = ssh_channel_new(FSession);
    if (!FChannel || ssh_channel_open_session(FChannel) != SSH_OK)
        Fail("The server opened no channel");
    if (ssh_channel_request_subsystem(FChannel, name) != SSH_OK)
        Fail(std::string("The server does not offer ") + name);
}

void TSshConnection::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        const int written = ssh_channel_write(FChannel, bytes.data(), uint32_t(bytes.size()));
        if (written == SSH_ERROR)
            Lost();
        bytes.remove_prefix(size_t(written));
    }
}

size_t TSshConnection::Read(char *buffer, size_t size, int ms)
{
    const int count = ssh_channel_read_timeout(FChannel, buffer, uint32_t(size), 0, ms);
    if (count == SSH_ERROR)
        Lost();
    if (count == 0 && (ssh_channel_is_eof(FChannel) || ssh_channel_is_closed(FChannel)))
        throw EIdConnClosedGracefully("The server closed the connection.");
    return size_t(count);
}

void TSshConnection::Close()
{
    if (FChannel) {
        if (ssh_channel_is_open(FChannel))
            ssh_channel_close(FChannel);
        ssh_channel_free(FChannel);
        FChannel = nullptr;
    }
    if (ssh_is_connected(FSession))
        ssh_disconnect(FSession);
}

int TSshConnection::Socket() const
{
    return FSession && FChannel ? ssh_get_fd(FSession) : -1;
}

bool TSshConnection::StillOpen()
{
    if (!FChannel)
        return false;
    // Reads what the socket holds without waiting: the server's close, or
    // a reset, ends the channel here.
    const int available = ssh_channel_poll_timeout(FChannel, 0, 0);
    return available != SSH_ERROR && available != SSH_EOF && ssh_is_connected(FSession) && IsOpen();
}

bool TSshConnection::IsOpen() const
{
    return FChannel && ssh_channel_is_open(FChannel) && !ssh_channel_is_eof(FChannel);
}
