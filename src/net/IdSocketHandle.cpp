#include "IdSocketHandle.h"

#include "IdAntiFreezeBase.h"
#include "IdException.h"
#include "IdResourceStrings.h"
#include "IdStack.h"

#include <algorithm>
#include <chrono>
#include <utility>
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

void TIdSocketHandle::Open(int type, int protocol, int family)
{
    Close(true);
    Handle = GStack->NewSocket(type, protocol, family);
    Family = family;
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
    if (GStack->CheckResult(GStack->BindSocket(Handle, Family, IP, Port), {Id_WSAEADDRINUSE}))
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

int TIdSocketHandle::ConnectAny(const std::vector<std::string> &addresses, int port, int timeout,
                                const std::function<void()> &prepare, int stagger)
{
    using TClock = std::chrono::steady_clock;
    const bool bounded = timeout != IdTimeoutInfinite;
    const auto deadline = TClock::now() + std::chrono::milliseconds(bounded ? timeout : 0);
    // The attempts under way. This handle stands for the newest of them:
    // a Close while they wait (a handler's disconnect) ends them all.
    std::vector<std::pair<TIdSocketHandleValue, int>> pending;
    const auto stand = [this, &pending] {
        IsOpen = !pending.empty();
        Handle = IsOpen ? pending.back().first : Id_INVALID_SOCKET;
        Family = IsOpen ? pending.back().second : Family;
    };
    const auto drop = [&pending](TIdSocketHandleValue handle, bool close) {
        if (close)
            GStack->CloseSocketHandle(handle);
        std::erase_if(pending, [handle](const auto &attempt) { return attempt.first == handle; });
    };
    const auto dropAllBut = [&](TIdSocketHandleValue keep) {
        for (const auto &attempt : std::vector(pending))
            if (attempt.first != keep)
                drop(attempt.first, true);
    };
    // The last attempt that failed stays open until another does: where
    // all fail, the socket is left open on it, as ConnectPeer leaves its
    // own, for the caller's disconnect.
    std::pair<TIdSocketHandleValue, int> failed{Id_INVALID_SOCKET, 0};
    const auto fail = [&](TIdSocketHandleValue handle) {
        if (failed.first != Id_INVALID_SOCKET)
            GStack->CloseSocketHandle(failed.first);
        const auto attempt = std::find_if(pending.begin(), pending.end(), [handle](const auto &each) { return each.first == handle; });
        failed = *attempt;
        drop(handle, false);
    };
    int lastError = Id_WSAECONNREFUSED;
    size_t next = 0;
    auto nextStart = TClock::now();
    TIdAntiFreezeBase *antiFreeze = TIdAntiFreezeBase::Current();
    const bool sliced = antiFreeze && antiFreeze->Active && TIdAntiFreezeBase::OnMainThread();
    try {
        for (;;) {
            // The next address, when its turn has come or nothing else is
            // left to wait for.
            if (next < addresses.size() && (pending.empty() || TClock::now() >= nextStart)) {
                const std::string &address = addresses[next++];
                IsOpen = false;  // the attempts before stay open
                Open(Id_SOCK_STREAM, Id_IPPROTO_IP, TIdStack::FamilyOf(address));
                pending.emplace_back(Handle, Family);
                if (prepare)
                    prepare();
                GStack->CheckResult(GStack->SetBlocking(Handle, false));
                if (GStack->ConnectSocket(Handle, Family, address, port) != Id_SOCKET_ERROR)
                    break;
                if (GStack->LastError() != Id_WSAEINPROGRESS) {
                    lastError = GStack->LastError();
                    fail(Handle);
                    stand();
                    continue;
                }
                nextStart = TClock::now() + std::chrono::milliseconds(stagger);
            }
            if (pending.empty()) {
                if (failed.first != Id_INVALID_SOCKET)
                    pending.push_back(std::exchange(failed, {Id_INVALID_SOCKET, 0}));
                stand();
                GStack->SetLastError(lastError);
                return Id_SOCKET_ERROR;
            }
            long long left = bounded ? std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count()
                                     : 1000;
            if (left <= 0) {
                if (failed.first != Id_INVALID_SOCKET)
                    GStack->CloseSocketHandle(std::exchange(failed, {Id_INVALID_SOCKET, 0}).first);
                dropAllBut(pending.back().first);
                stand();
                GStack->SetLastError(Id_WSAETIMEDOUT);
                return Id_SOCKET_ERROR;
            }
            if (next < addresses.size())
                left = std::clamp<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(nextStart - TClock::now()).count(), 0, left);
            if (sliced)
                left = std::min<long long>(left, std::max(antiFreeze->IdleTimeOut, 1));
            std::vector<TIdSocketHandleValue> writes;
            for (const auto &attempt : pending)
                writes.push_back(attempt.first);
            const int ready = GStack->SelectSockets(nullptr, &writes, nullptr, int(left));
            if (sliced) {
                TIdAntiFreezeBase::PumpIfDue(ready <= 0);
                // Closed by a handler the pump ran: no attempt goes on.
                if (!IsOpen) {
                    drop(pending.back().first, false);
                    dropAllBut(Id_INVALID_SOCKET);
                    throw EIdConnClosedGracefully(RSId::ConnectionClosedGracefully);
                }
            }
            bool connected = false;
            for (const TIdSocketHandleValue handle : ready > 0 ? writes : std::vector<TIdSocketHandleValue>{}) {
                if (const int error = GStack->PendingError(handle); error != 0) {
                    lastError = error;
                    fail(handle);
                    // Refused: the next address need not wait its turn.
                    nextStart = TClock::now();
                    continue;
                }
                // The winner goes last, where the socket stands.
                const int family = std::find_if(pending.begin(), pending.end(), [handle](const auto &each) {
                                       return each.first == handle;
                                   })->second;
                pending.emplace_back(handle, family);
                connected = true;
                break;
            }
            stand();
            if (connected)
                break;
        }
    } catch (...) {
        if (failed.first != Id_INVALID_SOCKET)
            GStack->CloseSocketHandle(failed.first);
        dropAllBut(Id_INVALID_SOCKET);
        stand();
        throw;
    }
    if (failed.first != Id_INVALID_SOCKET)
        GStack->CloseSocketHandle(failed.first);
    // The newest attempt connected: the others go.
    const auto winner = pending.back();
    dropAllBut(winner.first);
    pending = {winner};
    stand();
    GStack->SetBlocking(Handle, true);
    RefreshLocal();
    RefreshRemote();
    return 0;
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
