// The connection that opens an outgoing TCP connection: to Host and Port
// directly, or through a SOCKS 4, 4A or 5 proxy. Proxies are a step of the
// connect and invisible afterwards: the connection then carries the
// application protocol as if direct.
#pragma once

#include "IdSocks.h"
#include "IdTCPConnection.h"

#include <functional>
#include <string>

class TIdTCPClient : public TIdTCPConnection {
public:
    std::string BoundIP;
    std::string Host;
    int Port = 0;
    TSocksInfo SocksInfo;
    bool UseNagle = true;
    std::function<void(TIdTCPClient *)> OnConnected;
    // The TCP connect gives up after this long (10060); the wait runs in the
    // anti-freeze's slices, so the window stays alive meanwhile.
    int ConnectTimeout = 30000;

    // Returns when the connection and any proxy negotiation are complete.
    virtual void Connect();
    virtual void ConnectAndReadAll();

protected:
    virtual void NotifyConnected();
    // The proxy's side of the connect, on a connection to the proxy.
    void NegotiateSocks4(bool version4A);
    void NegotiateSocks5();
    // CONNECT host:port, with Basic authentication where a user is given.
    void NegotiateHttpConnect();

private:
    void WriteRequest(const std::string &request);
    std::string ReadSocks5Reply(int count);
};
