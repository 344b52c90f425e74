// One socket: its handle, the local and remote addresses and ports, and
// bind, listen, accept, connect, send, receive and the wait for
// readability that gives the anti-freeze its slices.
#pragma once

#include "IdGlobal.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class TIdSocketHandle {
public:
    TIdSocketHandle();
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle &) = delete;
    TIdSocketHandle &operator=(const TIdSocketHandle &) = delete;

    // Copies the addresses and ports, not the socket.
    void Assign(const TIdSocketHandle &source);

    void Open(int type = Id_SOCK_STREAM, int protocol = Id_IPPROTO_IP, int family = Id_PF_INET);
    // Shuts down the sending side and closes; a no-operation when closed.
    void Close(bool resetLocal = true);
    void Clear(bool resetLocal);
    void Bind();
    void Listen(int backlog);
    void Accept(TIdSocketHandleValue listener);
    void SetRemote(const std::string &address, int port);
    // Raw result; the caller checks it. With a time-out, the connect waits
    // in the anti-freeze's slices like a read, so the window stays alive,
    // and gives up with 10060 when the time is over.
    int ConnectPeer(int family = Id_PF_INET, int timeout = IdTimeoutInfinite);
    // Opens a stream socket to the first of `addresses` that answers on
    // `port`: each is tried in turn, the next started when the last has
    // not answered within `stagger` ms while it still may (so a server's
    // dead IPv6 address costs a moment, not the whole time-out). `prepare`
    // readies each socket before its connect (bind, options). Raw result,
    // as ConnectPeer's: the last failure's error, the socket left open on
    // the last attempt.
    int ConnectAny(const std::vector<std::string> &addresses, int port, int timeout,
                   const std::function<void()> &prepare = {}, int stagger = 250);
    int Send(const void *buffer, int length, int flags = 0);
    int Receive(void *buffer, int length, int flags = 0);
    void SetOption(int level, int option, const void *value, int length);
    void RefreshLocal();
    void RefreshRemote();

    // True when the socket became readable within `milliseconds` (-2: no
    // limit). With an active anti-freeze the wait is cut into slices, and
    // the anti-freeze may run the window's handlers after each one; a
    // socket closed meanwhile ends the wait with EIdConnClosedGracefully.
    bool WaitReadable(int milliseconds);
    // Waits until a send can go out, in the anti-freeze's slices.
    bool WaitWritable(int milliseconds);
    // Whether a wait is due before the next send or receive is tried: while
    // data flows the socket is not waited for, yet at least every
    // WaitInterval a wait looks at the companion, the interrupt and the
    // anti-freeze all the same.
    bool WaitDue() const;
    static constexpr int WaitInterval = 20;  // ms

    TIdSocketHandleValue Handle = Id_INVALID_SOCKET;
    bool IsOpen = false;
    // The address family the socket was opened for.
    int Family = Id_PF_INET;
    // A second socket every wait of this one watches: when it becomes
    // readable, OnCompanionReadable runs and may end the wait by raising.
    // A data connection watches its control connection this way, so a
    // server that goes away ends the wait at once.
    TIdSocketHandleValue Companion = Id_INVALID_SOCKET;
    std::function<void()> OnCompanionReadable;
    // A descriptor another thread makes readable to end this socket's
    // waits: OnInterrupt runs, and ends the wait by raising.
    TIdSocketHandleValue Interrupt = Id_INVALID_SOCKET;
    std::function<void()> OnInterrupt;
    std::string IP;
    std::string RemoteIP;
    int Port = 0;
    int RemotePort = 0;

private:
    std::chrono::steady_clock::time_point FLastWait;
    bool WaitSlice(int milliseconds);
    // One wait for this socket (to read or to write) and the companion;
    // true when this socket is ready.
    bool SelectOnce(bool write, int milliseconds);
    int WaitConnected(int timeout);
};
