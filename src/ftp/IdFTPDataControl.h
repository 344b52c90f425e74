// What a data channel needs of its control connection beyond the client's
// public face: the steps that set a data connection up, and the flag that
// says the transfer was aborted. TIdFTP gives it to its own channels only.
#pragma once

#include "IdFTPReplyText.h"

#include <string>

class TIdSocketHandle;
class TIdTCPConnection;

class TIdFTPDataControl {
public:
    // PASV or EPSV: where the server waits. Where this connection has set
    // up a passive connection before and nothing else waits, `command`
    // goes out with it, before its reply; `sent` says whether it did.
    virtual TIdPassiveAddress EnterPassive(const std::string &command, bool &sent) = 0;
    // PORT: where we wait.
    virtual void AnnounceDataPort(TIdSocketHandle *socket) = 0;
    // REST for a transfer that starts at an offset.
    virtual void SendRestart() = 0;
    virtual void CopyWorkHandlers(TIdTCPConnection *connection) = 0;
    virtual void WatchControlConnection(TIdTCPConnection &data) = 0;
    virtual void SecureDataConnection(TIdTCPConnection &data) = 0;
    // A line for the log.
    virtual void Tell(const std::string &text) = 0;
    // The transfer in progress was aborted (ABOR sent).
    virtual bool Aborted() const = 0;
    virtual void SetAborted(bool aborted) = 0;

protected:
    ~TIdFTPDataControl() = default;
};
