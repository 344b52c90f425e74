// A socket with bytes already read from it put back in front: the SSH
// library reads the socket it is given, and an HTTP proxy's answer may
// arrive in one segment with the server's first bytes, which the proxy's
// reader took. The library gets one end of a socket pair, which yields
// those bytes first and then all the real socket brings; what it writes
// goes to the real socket. A thread of its own carries both ways.
#pragma once

#include <string>
#include <thread>

class TPrefixedSocket {
public:
    // Takes `real` over (closed at the end) and makes the pair.
    TPrefixedSocket(int real, std::string early);
    // Ends the carrying: the real socket is shut and closed.
    ~TPrefixedSocket();
    TPrefixedSocket(const TPrefixedSocket &) = delete;
    TPrefixedSocket &operator=(const TPrefixedSocket &) = delete;

    // The end to give away: its new owner closes it.
    int Socket() const { return FOuter; }

private:
    void Carry(std::string early);

    int FReal, FInner, FOuter;
    // Written to end the carrying early.
    int FStop[2] = {-1, -1};
    std::thread FThread;
};
