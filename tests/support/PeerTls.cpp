#include "PeerTls.h"

#include "ScriptedPeer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <sys/socket.h>
#include <sys/time.h>

#include <stdexcept>

namespace {

[[noreturn]] void Fail(const std::string &what)
{
    char reason[256] = "";
    if (const unsigned long code = ERR_get_error())
        ERR_error_string_n(code, reason, sizeof reason);
    throw std::runtime_error("scripted TLS peer: " + what + (*reason ? std::string(": ") + reason : ""));
}

}  // namespace

PeerTlsContext::PeerTlsContext()
{
    FContext = SSL_CTX_new(TLS_server_method());
    if (!FContext || SSL_CTX_use_certificate_file(FContext, FCertificate.Certificate().c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(FContext, FCertificate.Key().c_str(), SSL_FILETYPE_PEM) != 1)
        Fail("no server context");
    SSL_CTX_set_session_id_context(FContext, reinterpret_cast<const unsigned char *>("peer"), 4);
}

PeerTlsContext::~PeerTlsContext()
{
    SSL_CTX_free(FContext);
}

PeerTls::PeerTls(const PeerTlsContext &context, int fd) : FFd(fd)
{
    // A client that stops talking fails the test instead of hanging it.
    const timeval limit{20, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    FSsl = SSL_new(context.Context());
    if (!FSsl || SSL_set_fd(FSsl, fd) != 1 || SSL_accept(FSsl) != 1)
        Fail("handshake failed");
}

PeerTls::~PeerTls()
{
    // Freed without a goodbye: what the socket's close then says is the
    // script's choice.
    SSL_free(FSsl);
}

void PeerTls::Send(std::string_view bytes)
{
    if (!bytes.empty() && SSL_write(FSsl, bytes.data(), int(bytes.size())) != int(bytes.size()))
        Fail("write failed");
}

std::string PeerTls::ReadLine()
{
    for (std::string line;;) {
        if (TakeLine(FPending, line))
            return line;
        char buffer[4096];
        const int n = SSL_read(FSsl, buffer, int(sizeof buffer));
        if (n <= 0)
            Fail("closed before a line end; had \"" + FPending + "\"");
        FPending.append(buffer, size_t(n));
    }
}

void PeerTls::CloseNotify()
{
    SSL_shutdown(FSsl);
    ::shutdown(FFd, SHUT_WR);
}
