// A connection that gets its socket by accepting exactly one incoming
// connection: the data connection of an active-mode transfer, where the
// server connects to the client.
#pragma once

#include "IdTCPConnection.h"

#include <functional>
#include <string>

class TIdSimpleServer : public TIdTCPConnection {
public:
    std::string BoundIP;
    int BoundPort = 0;
    bool AbortRequested = false;
    bool Listening = false;
    TIdSocketHandleValue ListenHandle = Id_INVALID_SOCKET;
    // Longest single poll of the accept wait; the wait itself is sliced by
    // the anti-freeze like any other.
    int AcceptPollTime = 0;
    // When set, only a connection from this address is kept: others are
    // closed at once (and reported), and the wait goes on.
    std::string RequiredPeerIP;
    std::function<void(const std::string &address)> OnRefused;
    // The accept wait gives up with 10060 after ReadTimeout, when that is
    // set: a server that never connects must not hold the window for ever.

    void ResetState() override;
    virtual void AbortAccept();
    virtual void StartListening();
    virtual void BindListener();
    // True when a connection was accepted, false when the wait was aborted.
    virtual bool WaitForConnection();
};
