#include "IdSimpleServer.h"

#include "IdException.h"
#include "IdStack.h"

#include <algorithm>
#include <chrono>

void TIdSimpleServer::ResetState()
{
    TIdTCPConnection::ResetState();
    AbortRequested = false;
    Listening = false;
}

void TIdSimpleServer::AbortAccept()
{
    AbortRequested = true;
}

void TIdSimpleServer::StartListening()
{
    ResetState();
    if (ListenHandle == Id_INVALID_SOCKET)
        BindListener();
    Socket()->Listen(1);
    Listening = true;
}

void TIdSimpleServer::BindListener()
{
    try {
        Socket()->Open(Id_SOCK_STREAM, Id_IPPROTO_IP, TIdStack::FamilyOf(BoundIP));
        ListenHandle = Socket()->Handle;
        Socket()->IP = BoundIP;
        Socket()->Port = BoundPort;
        Socket()->Bind();
    } catch (...) {
        ListenHandle = Id_INVALID_SOCKET;
        throw;
    }
}

bool TIdSimpleServer::WaitForConnection()
{
    if (!Listening)
        StartListening();

    // While listening, the socket handle is the listener itself: closing the
    // connection (a disconnect of the control connection, an abort) closes
    // it and the wait ends with "Connection Closed Gracefully.".
    const bool bounded = ReadTimeout != IdTimeoutInfinite;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bounded ? ReadTimeout : 0);
    bool accepted = false;
    while (!AbortRequested && !accepted) {
        if (bounded && std::chrono::steady_clock::now() >= deadline) {
            Socket()->Close();
            ListenHandle = Id_INVALID_SOCKET;
            GStack->RaiseError(Id_WSAETIMEDOUT);
        }
        // A poll of at least a few milliseconds instead of none: the wait
        // still ends the moment the server connects, without spinning.
        if (!Socket()->WaitReadable(std::max(AcceptPollTime, 10)))
            continue;
        const TIdSocketHandleValue listener = ListenHandle;
        Socket()->Handle = Id_INVALID_SOCKET;
        Socket()->IsOpen = false;
        try {
            Socket()->Accept(listener);
        } catch (...) {
            GStack->CloseSocketHandle(listener);
            ListenHandle = Id_INVALID_SOCKET;
            throw;
        }
        accepted = RequiredPeerIP.empty() || Socket()->RemoteIP == RequiredPeerIP;
        if (!accepted) {
            // Someone else came first: turned away, and the listener
            // takes the socket's place again.
            const std::string intruder = Socket()->RemoteIP;
            Socket()->Close();
            Socket()->Handle = listener;
            Socket()->IsOpen = true;
            if (OnRefused)
                OnRefused(intruder);
        }
    }

    if (accepted) {
        GStack->CloseSocketHandle(ListenHandle);
    } else {
        // Aborted: the listener goes, and the handle is marked closed so
        // nothing uses or closes it again.
        Socket()->Close();
    }
    ListenHandle = Id_INVALID_SOCKET;
    return accepted;
}
