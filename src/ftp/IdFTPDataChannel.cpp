#include "IdFTPDataChannel.h"

#include "IdException.h"
#include "IdScopeGuard.h"
#include "IdSimpleServer.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

bool TIdFTPDataChannel::Run(const std::string &command, bool sending, const TMove &move)
{
    if (FFtp.Passive || !FFtp.PassiveFallback)
        return RunOnce(command, sending, move, nullptr);
    std::string why;
    try {
        return RunOnce(command, sending, move, &why);
    } catch (...) {
        if (why.empty() || !FFtp.Socket()->IsOpen)
            throw;
    }
    FControl.Tell("Active mode failed (" + why + "): trying passive mode, for the rest of the session.");
    FFtp.Passive = true;
    return RunOnce(command, sending, move, nullptr);
}

bool TIdFTPDataChannel::RunOnce(const std::string &command, bool sending, const TMove &move,
                                std::string *fallbackReason)
{
    FFtp.CheckArgument(command);
    FControl.SetAborted(false);
    FOwed = 0;
    bool cut = false;
    try {
        cut = FFtp.Passive ? RunPassive(command, sending, move) : RunActive(command, move, fallbackReason);
        FOwed = 0;
    } catch (...) {
        if (FOwed > 0)
            SettleOwedReplies(FOwed);
        throw;
    }
    ReadFinalReply();
    return cut;
}

int TIdFTPDataChannel::SettleTimeout() const
{
    return std::min(FFtp.ReadTimeout, TIdFTP::SettleTimeout);
}

// Ends TLS in order before a data connection closes: servers count a
// transfer without the goodbye as cut short.
void TIdFTPDataChannel::Finish(TIdTCPConnection &data)
{
    data.ShutdownTLS();
    data.Disconnect();
}

bool TIdFTPDataChannel::RunPassive(const std::string &command, bool sending, const TMove &move)
{
    // The data go to the server this connection reaches, whatever
    // address the reply names: a hostile server could name any host,
    // and one behind NAT names one nobody can reach. Through a proxy,
    // the proxy resolves the server's name as it did for the control
    // connection.
    bool sent = false;
    TIdFTP::TPassiveAddress announced;
    try {
        announced = FControl.EnterPassive(command, sent);
    } catch (...) {
        FOwed = sent ? 2 : 0;  // the command's replies come all the same
        throw;
    }
    if (!sent) {
        FControl.SendRestart();
        FFtp.WriteLine(command);
    }
    FOwed = 2;
    const auto owned = std::make_unique<TIdTCPClient>();
    TIdTCPClient *client = owned.get();
    FFtp.DataConnection = client;
    const auto clear = IdScopeExit([this] { FFtp.DataConnection = nullptr; });
    client->SocksInfo = FFtp.SocksInfo;
    FControl.CopyWorkHandlers(client);
    FControl.WatchControlConnection(*client);
    client->ConnectTimeout = FFtp.ConnectTimeout;
    client->Host = FFtp.SocksInfo.Proxied() ? FFtp.Host : FFtp.Socket()->RemoteIP;
    client->Port = announced.Port;
    try {
        client->Connect();
    } catch (const EIdSocketError &) {
        // A server that refuses the command at once (a restarted
        // store it does not allow, a file it will not give) may
        // close its passive port before we reach it: its reply says
        // why, better than the refused connection.
        if (FFtp.InBufferSize() == 0 && !(FFtp.Socket()->IsOpen && FFtp.Socket()->WaitReadable(FFtp.RefusalWait)))
            throw;
        FOwed = 0;
        FFtp.ReadReply(sending ? TIdFTP::TReplyCodes{110, 125, 150} : TIdFTP::TReplyCodes{125, 150});
        FOwed = 1;
        throw;
    }
    try {
        try {
            FFtp.ReadReply(sending ? TIdFTP::TReplyCodes{110, 125, 150} : TIdFTP::TReplyCodes{125, 150});
        } catch (const EIdProtocolReplyError &) {
            FOwed = 0;  // that was the final reply
            throw;
        }
        FOwed = 1;
        if (FFtp.TLS())
            FControl.SecureDataConnection(*client);
        move(*client);
    } catch (...) {
        client->Disconnect();
        throw;
    }
    const bool cut = client->TLSCut();
    Finish(*client);
    return cut;
}

bool TIdFTPDataChannel::RunActive(const std::string &command, const TMove &move, std::string *fallbackReason)
{
    const auto owned = std::make_unique<TIdSimpleServer>();
    TIdSimpleServer *listener = owned.get();
    FFtp.DataConnection = listener;
    const auto clear = IdScopeExit([this] { FFtp.DataConnection = nullptr; });
    FControl.CopyWorkHandlers(listener);
    FControl.WatchControlConnection(*listener);
    // Only the server may bring the data: a connection from anyone
    // else is closed, and the wait goes on.
    listener->RequiredPeerIP = FFtp.Socket()->RemoteIP;
    listener->OnRefused = [this](const std::string &address) {
        FControl.Tell("Refused a data connection from " + address + ": not the server.");
    };
    listener->BoundIP = FFtp.Socket()->IP;
    listener->StartListening();
    // PORT refused, or the server could not connect (425): passive
    // mode may do.
    try {
        FControl.AnnounceDataPort(listener->Socket());
    } catch (const EIdProtocolReplyError &) {
        if (fallbackReason)
            *fallbackReason = FFtp.LastReplyLine();
        throw;
    }
    FControl.SendRestart();
    try {
        FFtp.SendCommand(command, {125, 150});
    } catch (const EIdProtocolReplyError &refusal) {
        if (fallbackReason && refusal.ReplyCode == 425)
            *fallbackReason = FFtp.LastReplyLine();
        throw;
    }
    FOwed = 1;
    if (fallbackReason)
        listener->ReadTimeout = std::min(FFtp.ReadTimeout == IdTimeoutInfinite ? FFtp.DataAcceptTimeout : FFtp.ReadTimeout,
                                         FFtp.DataAcceptTimeout);
    try {
        listener->WaitForConnection();
    } catch (const EIdSocketError &error) {
        if (!fallbackReason || error.LastError != Id_WSAETIMEDOUT)
            throw;
        // The server never came: its command is cancelled, and the
        // replies read up to the ABOR's, before passive mode tries.
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", FFtp.DataAcceptTimeout / 1000.0);
        *fallbackReason = std::string("no data connection within ") + seconds + " s";
        FOwed = 0;
        FControl.SetAborted(true);
        FFtp.WriteLine("ABOR");
        SettleAbort();
        throw;
    }
    listener->ReadTimeout = FFtp.ReadTimeout;
    if (FFtp.TLS())
        FControl.SecureDataConnection(*listener);
    move(*listener);
    const bool cut = listener->TLSCut();
    Finish(*listener);
    return cut;
}

void TIdFTPDataChannel::ReadFinalReply()
{
    const int16_t code = FFtp.ReadReply({225, 226, 250, 426});
    // Aborted, the ABOR has a reply of its own after the transfer's: after
    // a 426, or after a 226 when the transfer had ended first.
    if (FControl.Aborted()) {
        SettleOwedReplies(1, true);
        return;
    }
    if (code != 426)
        return;
    // Cut short by the server: no success, whatever follows.
    const std::string cut = FFtp.LastReplyLine();
    // Some servers send a 226 after it; read it, lest a later command
    // take it for its own.
    if (FFtp.InBufferSize() > 0 || (FFtp.Socket()->IsOpen && FFtp.Socket()->WaitReadable(1000))) {
        const TIdReadTimeoutScope settling(FFtp, SettleTimeout());
        try {
            FFtp.ReadReply({});
        } catch (...) {
            // None came, or no whole one: ReadReply has closed the
            // connection, so nothing can be out of step.
        }
    }
    throw EIdProtocolReplyError(426, cut);
}

void TIdFTPDataChannel::SettleAbort()
{
    const TIdReadTimeoutScope settling(FFtp, SettleTimeout());
    try {
        // The command's own reply (425, 426) may come first.
        for (int reply = 0; reply < 3 && FFtp.Socket()->IsOpen; ++reply) {
            const int16_t code = FFtp.ReadReply({});
            if (code == 225 || code == 226)
                break;
        }
    } catch (...) {
        // ReadReply has closed the connection: nothing can be out of step.
    }
}

void TIdFTPDataChannel::SettleOwedReplies(int owed, bool abortReplyOnly)
{
    const TIdReadTimeoutScope settling(FFtp, SettleTimeout());
    try {
        while (owed > 0 && FFtp.Socket()->IsOpen) {
            const int16_t code = FFtp.ReadReply({});
            if (owed == 2 && code >= 100 && code < 200) {
                owed = 1;  // the preliminary: the final one follows
                continue;
            }
            owed = 0;
            if (FControl.Aborted() && !abortReplyOnly)
                FFtp.ReadReply({});  // the reply to the ABOR
        }
    } catch (...) {
        // ReadReply has closed the connection: nothing can be out of step.
    }
}
