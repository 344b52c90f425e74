// TLS on a connection's socket, as the client, by OpenSSL: the layer that
// FTP over TLS (RFC 4217) puts under the control connection and every data
// connection. TLS 1.2 or newer; certificates are checked against the
// system's trust store and the host name, and what the check found is
// handed up: whether to go on with a certificate that does not verify is
// the user's decision, never this layer's.
//
// The socket is non-blocking while TLS runs on it. Reads and writes never
// wait: they say "would block", and which way, and the connection waits in
// its own way (in slices, with the window alive).
#pragma once

#include <memory>
#include <string>

// What a server's certificate says, and what the check found.
struct TIdCertificateInfo {
    std::string Subject;
    std::string Issuer;
    std::string NotBefore, NotAfter;
    // SHA-256 of the certificate, "AB:CD:..." as browsers show it.
    std::string Fingerprint;
    // Empty when the certificate verified; else what is wrong, in words
    // ("self-signed certificate", "certificate has expired", "hostname
    // mismatch").
    std::string Problem;
};

class TIdTLSSession {
public:
    // TLS for `socket`, which must be connected. Nothing is sent yet.
    explicit TIdTLSSession(int socket);
    ~TIdTLSSession();
    TIdTLSSession(const TIdTLSSession &) = delete;
    TIdTLSSession &operator=(const TIdTLSSession &) = delete;

    enum TWant { wtNothing, wtRead, wtWrite };
    // Waits until the socket is ready the way asked, at most `milliseconds`
    // (-1: as long as the connection's reads wait); false on time-out.
    using TWait = bool (*)(void *context, TWant want, int milliseconds);

    // The client handshake. `host` names the server for SNI and the name
    // check; `resume`, when given, is the session to resume (a data
    // connection resumes its control connection's). Throws EIdTLSError.
    void Handshake(const std::string &host, const TIdTLSSession *resume, TWait wait, void *context);

    // >0: bytes read; 0: the peer closed (see End()); -1: nothing yet
    // (see Want()).
    int Read(void *buffer, int length);
    // How the peer's side ended, once a read returned 0: with its
    // close_notify, or cut (the socket closed without it).
    enum TEnd { enOpen, enClosed, enCut };
    TEnd End() const { return FEnd; }
    // >0: bytes written; -1: would block (see Want()).
    int Write(const void *buffer, int length);
    // What a read or write that returned -1 waits for.
    TWant Want() const { return FWant; }
    // Bytes decrypted and not yet read: no wait on the socket for them.
    int Pending() const;
    // Says goodbye (close_notify), as servers want at a data connection's
    // end, then reads what the peer still sends, for at most `drain`
    // milliseconds: a socket closed with unread bytes resets.
    void Shutdown(TWait wait, void *context, int drain);

    TIdCertificateInfo PeerCertificate() const;
    // "TLSv1.3, TLS_AES_256_GCM_SHA384".
    std::string Description() const;
    bool Resumed() const;

    // OpenSSL's side of it; opaque.
    struct TState;

private:
    // A read or write that moved nothing: -1 with what TLS waits for, or
    // the failure raised.
    int Stalled(int error, const char *failure);
    std::unique_ptr<TState> FState;
    TWant FWant = wtNothing;
    TEnd FEnd = enOpen;
};
