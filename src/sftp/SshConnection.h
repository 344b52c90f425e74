// An SSH connection over a connected socket: the key exchange, the log-in
// and one channel to a subsystem. The one unit that sees the SSH library.
#pragma once

#include "HostKeys.h"
#include "IdException.h"
#include "RemoteSession.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The server refused every way of logging in that was tried.
class ESshLogInRefused : public EIdProtocolReplyError {
public:
    explicit ESshLogInRefused(const std::string &message) : EIdProtocolReplyError(530, message) {}
};

// What logs in; after LogIn, what worked (a password typed, the key file
// and its passphrase), for the next connection to take without asking.
struct TSshLogin {
    std::string User, Password, KeyFile, Passphrase;
    // Tried in turn when the site names no key file.
    std::vector<std::string> DefaultKeys;
    bool UseAgent = true;
    // Asks the user; false when they cancel. Unset: nothing is asked.
    std::function<bool(const TLoginPrompt &, std::string &answer)> Prompt;
};

class TSshConnection {
public:
    TSshConnection();
    ~TSshConnection();
    TSshConnection(const TSshConnection &) = delete;
    TSshConnection &operator=(const TSshConnection &) = delete;

    // The key exchange on `socket` (taken over: closed with the connection),
    // asking first for a host key of the `knownTypes`; each of its waits
    // and the log-in's takes `readTimeout` ms of silence at most.
    void Open(int socket, const std::string &host, const std::string &user,
              const std::vector<std::string> &knownTypes = {}, int readTimeout = 30000);
    THostKey HostKey() const;
    void LogIn(TSshLogin &login);
    void StartSubsystem(const char *name);

    void Write(std::string_view bytes);
    // What came on the channel, up to `size`, waiting at most `ms`; 0 when
    // nothing came. The end of the channel raises EIdConnClosedGracefully.
    size_t Read(char *buffer, size_t size, int ms);
    void Close();
    bool IsOpen() const;
    // The socket the connection runs on, to be watched while it is idle;
    // -1 when closed.
    int Socket() const;
    // Takes in what came while no request ran: false when that was the
    // end of the connection.
    bool StillOpen();

private:
    [[noreturn]] void Fail(const std::string &what) const;
    [[noreturn]] void Lost() const;
    bool TryAgent();
    bool TryKeyFile(TSshLogin &login, const std::string &path);
    bool TryPassword(TSshLogin &login);
    bool TryInteractive(TSshLogin &login);
    bool Ask(TSshLogin &login, const TLoginPrompt &prompt, std::string &answer);

    struct ssh_session_struct *FSession = nullptr;
    struct ssh_channel_struct *FChannel = nullptr;
    std::string FHost, FUser;
    // What each refusal said, for the message that ends the log-in.
    std::vector<std::string> FTried;
    bool FPasswordRefused = false;
};
