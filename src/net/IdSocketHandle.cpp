#include "IdSocketHandle.h"

#include "IdAntiFreezeBase.h"
#include "IdException.h"
#include "IdResourceStrings.h"
#include "IdStack.h"

#include <algorithm>
#include <chrono>
#include <vector>

TIdSocketHandle::TIdSocketHandle()
{
    Clear(true);
}

TIdSocketHandle::~TIdSocketHandle()
{
    try {
        Close();
    } catch (...) {
        // Closing in a destructor: nothing left to tell.
    }
}

void TIdSocketHandle::Assign(const TIdSocketHandle &source)
{
    IP = source.IP;
    Port = source.Port;
    RemoteIP = source.RemoteIP;
    RemotePort = source.RemotePort;
}

void TIdSocketHandle::Open(int type, int protocol)
{
    Close(true);
    Handle = GStack->NewSocket(type, protocol);
    IsOpen = true;
}

void TIdSocketHandle::Close(bool resetLocal)
{
    if (!IsOpen)
        return;
    IsOpen = false;
    GStack->ShutdownSocket(Handle, 1);
    GStack->CloseSocketHandle(Handle);
    Clear(resetLocal);
}

void TIdSocketHandle::Clear(bool resetLocal)
{
    IsOpen = false;
    Handle = Id_INVALID_SOCKET;
    if (resetLocal) {
        IP.clear();
        Port = 0;
    }
    RemoteIP.clear();
    RemotePort = 0;
}

void TIdSocketHandle::Bind()
{
    if (GStack->CheckResult(GStack->BindSocket(Handle, Id_PF_INET, IP, Port), {Id_WSAEADDRINUSE}))
        throw EIdCouldNotBindSocket(RSId::CouldNotBindSocket);
    RefreshLocal();
}

void TIdSocketHandle::Listen(int backlog)
{
    GStack->CheckResult(GStack->ListenSocket(Handle, backlog));
}

void TIdSocketHandle::Accept(TIdSocketHandleValue listener)
{
    std::string address;
    int port = 0;
    const TIdSocketHandleValue accepted = GStack->AcceptSocket(listener, address, port);
    GStack->CheckResult(accepted);
    Handle = accepted;
    IsOpen = true;
    RefreshLocal();
    RefreshRemote();
}

void TIdSocketHandle::SetRemote(const std::string &address, int port)
{
    RemoteIP = address;
    RemotePort = port;
}

int TIdSocketHandle::ConnectPeer(int family, int timeout)
{
    int result;
    if (timeout == IdTimeoutInfinite) {
        result = GStack->ConnectSocket(Handle, family, RemoteIP, RemotePort);
    } else {
        GStack->CheckResult(GStack->SetBlocking(Handle, false));
        result = GStack->ConnectSocket(Handle, family, RemoteIP, RemotePort);
        if (result == Id_SOCKET_ERROR && GStack->LastError() == Id_WSAEINPROGRESS)
            result = WaitConnected(timeout);
        if (IsOpen)
            GStack->SetBlocking(Handle, true);
    }
    if (result != Id_SOCKET_ERROR) {
        RefreshLocal();
        RefreshRemote();
    }
    return result;
}

int TIdSocketHandle::Send(const void *buffer, int length, int flags)
{
    return GStack->SendOn(Handle, buffer, length, flags);
}

int TIdSocketHandle::Receive(void *buffer, int length, int flags)
{
    return GStack->ReceiveOn(Handle, buffer, length, flags);
}

void TIdSocketHandle::SetOption(int level, int option, const void *value, int length)
{
    GStack->CheckResult(GStack->SetSocketOption(Handle, level, option, value, length));
}

void TIdSocketHandle::RefreshLocal()
{
    int family;
    GStack->LocalAddressOf(Handle, family, Port, IP);
}

void TIdSocketHandle::RefreshRemote()
{
    int family;
    GStack->RemoteAddressOf(Handle, family, RemotePort, RemoteIP);
}

int TIdSocketHandle::WaitConnected(int timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    TIdAntiFreezeBase *antiFreeze = TIdAntiFreezeBase::Current();
    const bool sliced = antiFreeze && antiFreeze->Active && TIdAntiFreezeBase::OnMainThread();
    for (;;) {
        // A handler may have closed the socket during the last pump.
        if (!IsOpen)
            throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            GStack->SetLastError(Id_WSAETIMEDOUT);
            return Id_SOCKET_ERROR;
        }
        const int slice = sliced ? int(std::min<long long>(left, std::max(antiFreeze->IdleTimeOut, 1))) : int(left);
        const bool ready = SelectOnce(true, slice);
        if (sliced)
            TIdAntiFreezeBase::PumpIfDue(!ready);
        if (ready && IsOpen) {
            const int error = GStack->PendingError(Handle);
            if (error == 0)
                return 0;
            GStack->SetLastError(error);
            return Id_SOCKET_ERROR;
        }
    }
}

bool TIdSocketHandle::WaitDue() const
{
    return std::chrono::steady_clock::now() - FLastWait >= std::chrono::milliseconds(WaitInterval);
}

bool TIdSocketHandle::SelectOnce(bool write, int milliseconds)
{
    std::vector<TIdSocketHandleValue> reads, writes;
    (write ? writes : reads).push_back(Handle);
    const bool watching = Companion != Id_INVALID_SOCKET && OnCompanionReadable;
    if (watching)
        reads.push_back(Companion);
    const bool interruptible = Interrupt != Id_INVALID_SOCKET && OnInterrupt;
    if (interruptible)
        reads.push_back(Interrupt);
    const int count = GStack->SelectSockets(reads.empty() ? nullptr : &reads, writes.empty() ? nullptr : &writes,
                                            nullptr, milliseconds);
    FLastWait = std::chrono::steady_clock::now();
    if (count <= 0)
        return false;
    if (interruptible && std::find(reads.begin(), reads.end(), Interrupt) != reads.end())
        OnInterrupt();
    if (watching && std::find(reads.begin(), reads.end(), Companion) != reads.end())
        OnCompanionReadable();
    const std::vector<TIdSocketHandleValue> &ready = write ? writes : reads;
    return std::find(ready.begin(), ready.end(), Handle) != ready.end();
}

bool TIdSocketHandle::WaitSlice(int milliseconds)
{
    if (!IsOpen)
        throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
    const bool readable = SelectOnce(false, milliseconds);
    TIdAntiFreezeBase::PumpIfDue(!readable);
    // The pump may have run an abort or a disconnect: what was ready
    // belongs to a socket that is gone.
    if (!IsOpen)
        throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
    return readable;
}

bool TIdSocketHandle::WaitReadable(int milliseconds)
{
    if (!IsOpen)
        throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
    TIdAntiFreezeBase *antiFreeze = TIdAntiFreezeBase::Current();
    if (!antiFreeze || !antiFreeze->Active || !TIdAntiFreezeBase::OnMainThread()) {
        if (Companion == Id_INVALID_SOCKET)
            return SelectOnce(false, milliseconds);
        // The companion may wake the wait without ending it: the time left
        // goes on.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
        for (;;) {
            int wait = milliseconds;
            if (milliseconds != IdTimeoutInfinite)
                wait = int(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                      deadline - std::chrono::steady_clock::now())
                                                      .count()));
            if (SelectOnce(false, wait))
                return true;
            if (milliseconds != IdTimeoutInfinite && std::chrono::steady_clock::now() >= deadline)
                return false;
        }
    }

    // Slices of at most IdleTimeOut, the shortest first (120 with 50: 20,
    // 50, 50), so the whole never exceeds the time asked for.
    const int slice = std::max(antiFreeze->IdleTimeOut, 1);
    if (milliseconds == IdTimeoutInfinite) {
        while (!WaitSlice(slice)) {
        }
        return true;
    }
    if (milliseconds <= slice)
        return WaitSlice(milliseconds);
    const int fullSlices = (milliseconds - 1) / slice;
    if (WaitSlice(milliseconds - fullSlices * slice))
        return true;
    for (int i = 0; i < fullSlices; ++i)
        if (WaitSlice(slice))
            return true;
    return false;
}

bool TIdSocketHandle::WaitWritable(int milliseconds)
{
    const bool forever = milliseconds == IdTimeoutInfinite;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    TIdAntiFreezeBase *antiFreeze = TIdAntiFreezeBase::Current();
    const bool sliced = antiFreeze && antiFreeze->Active && TIdAntiFreezeBase::OnMainThread();
    for (;;) {
        if (!IsOpen)
            throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
        const long long left =
            forever ? 1 : std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 && !forever)
            return false;
        int slice = sliced ? std::max(antiFreeze->IdleTimeOut, 1) : (forever ? IdTimeoutInfinite : int(left));
        if (!forever && slice != IdTimeoutInfinite && slice > left)
            slice = int(left);
        const bool ready = SelectOnce(true, slice);
        if (sliced)
            TIdAntiFreezeBase::PumpIfDue(!ready);
        if (!IsOpen)
            throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
        if (ready)
            return true;
    }
}
