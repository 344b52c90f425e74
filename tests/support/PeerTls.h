// The server's side of TLS for scripted peers, so a test can script what
// only a hostile or broken TLS server does: speak in clear behind "234",
// or end a data connection without its close_notify. OpenSSL directly,
// nothing of the code under test.
#pragma once

#include "TlsServers.h"

#include <string>
#include <string_view>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

// A certificate of its own and a server context; the control connection
// and the data connections of one session share it, so a data connection
// may resume the control connection's session.
class PeerTlsContext {
public:
    PeerTlsContext();
    ~PeerTlsContext();
    PeerTlsContext(const PeerTlsContext &) = delete;
    PeerTlsContext &operator=(const PeerTlsContext &) = delete;

    SSL_CTX *Context() const { return FContext; }

private:
    TlsCertificate FCertificate{"127.0.0.1"};
    SSL_CTX *FContext = nullptr;
};

// TLS on a socket the script holds (a PeerSocket's descriptor, which stays
// the socket's to close): the server's handshake at once. Closing the
// socket without CloseNotify() is a cut end.
class PeerTls {
public:
    PeerTls(const PeerTlsContext &context, int fd);
    ~PeerTls();
    PeerTls(const PeerTls &) = delete;
    PeerTls &operator=(const PeerTls &) = delete;

    void Send(std::string_view bytes);
    // One line without its CR LF; throws when the peer closes first.
    std::string ReadLine();
    // The server's goodbye, then the end of its sending side.
    void CloseNotify();

private:
    SSL *FSsl = nullptr;
    int FFd;
    std::string FPending;
};
