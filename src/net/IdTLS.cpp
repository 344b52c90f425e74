#include "IdTLS.h"

#include "IdException.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The newest resumable session the server handed out. With TLS 1.3 the
// tickets come after a handshake and each serves once: every data
// connection resumes with the newest and brings new ones, so a control
// connection and its data connections share this slot.
struct TSessionSlot {
    SSL_SESSION *Latest = nullptr;
    ~TSessionSlot()
    {
        if (Latest)
            SSL_SESSION_free(Latest);
    }
    void Keep(SSL_SESSION *session)
    {
        if (Latest)
            SSL_SESSION_free(Latest);
        Latest = session;
    }
};

}  // namespace

struct TIdTLSSession::TState {
    SSL *Ssl = nullptr;
    std::shared_ptr<TSessionSlot> Sessions = std::make_shared<TSessionSlot>();
    // Everything the certificate check found wrong, in order, once each.
    std::vector<std::string> Problems;

    ~TState()
    {
        if (Ssl)
            SSL_free(Ssl);
    }
};

namespace {

int StateIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// A new session from the server: a copy is kept as the newest. The
// connection's own object is marked spent when that connection fails (a
// data connection cut short), and the next one could not resume it.
int NewSession(SSL *ssl, SSL_SESSION *session)
{
    auto *state = static_cast<TIdTLSSession::TState *>(SSL_get_ex_data(ssl, StateIndex()));
    if (!state)
        return 0;
    if (SSL_SESSION *copy = SSL_SESSION_dup(session))
        state->Sessions->Keep(copy);
    return 0;
}

// Notes every problem of the chain and the name, and goes on: the user
// hears them all and decides.
int NoteProblem(int ok, X509_STORE_CTX *store)
{
    if (ok)
        return 1;
    auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto *state = ssl ? static_cast<TIdTLSSession::TState *>(SSL_get_ex_data(ssl, StateIndex())) : nullptr;
    if (state) {
        const std::string problem = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
        if (std::find(state->Problems.begin(), state->Problems.end(), problem) == state->Problems.end())
            state->Problems.push_back(problem);
    }
    return 1;
}

SSL_CTX *Context()
{
    static SSL_CTX *context = [] {
        SSL_CTX *ctx = SSL_CTX_new(TLS_client_method());
        if (!ctx)
            throw EIdTLSError("TLS could not be set up.");
        SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(ctx);
        SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        // No SSL_OP_IGNORE_UNEXPECTED_EOF: an end without the peer's
        // close_notify is how a man in the middle cuts a download short
        // while the server's 226 still comes. Read() tells the two ends
        // apart.
        SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
        SSL_CTX_sess_set_new_cb(ctx, NewSession);
        return ctx;
    }();
    return context;
}

std::string OpenSslError(const char *what)
{
    std::string text = what;
    if (const unsigned long code = ERR_get_error()) {
        char reason[256];
        ERR_error_string_n(code, reason, sizeof reason);
        text += std::string(": ") + reason;
    }
    ERR_clear_error();
    return text;
}

std::string Text(BIO *bio)
{
    char *data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return std::string(data, size_t(length > 0 ? length : 0));
}

std::string NameText(const X509_NAME *name)
{
    BIO *bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    std::string text = Text(bio);
    BIO_free(bio);
    return text;
}

std::string TimeText(const ASN1_TIME *time)
{
    BIO *bio = BIO_new(BIO_s_mem());
    ASN1_TIME_print(bio, time);
    std::string text = Text(bio);
    BIO_free(bio);
    return text;
}

// OpenSSL's socket writes with write(): a server gone in the middle of
// a transfer would raise SIGPIPE, whose default ends the whole program.
// This socket is OpenSSL's own but for its writes, sent without the
// signal: the server's end is an error like any other.
int WriteWithoutSignal(BIO *bio, const char *data, int length)
{
    BIO_clear_retry_flags(bio);
    const int fd = int(BIO_get_fd(bio, nullptr));
    const ssize_t sent = ::send(fd, data, size_t(std::max(length, 0)), MSG_NOSIGNAL);
    if (sent <= 0 && BIO_sock_should_retry(int(sent)))
        BIO_set_retry_write(bio);
    return int(sent);
}

const BIO_METHOD *SocketWithoutSignal()
{
    static BIO_METHOD *const method = [] {
        const BIO_METHOD *socket = BIO_s_socket();
        BIO_METHOD *made = BIO_meth_new(BIO_TYPE_SOCKET, "socket without SIGPIPE");
        if (made) {
            BIO_meth_set_write(made, WriteWithoutSignal);
            BIO_meth_set_read(made, BIO_meth_get_read(socket));
            BIO_meth_set_puts(made, BIO_meth_get_puts(socket));
            BIO_meth_set_ctrl(made, BIO_meth_get_ctrl(socket));
            BIO_meth_set_create(made, BIO_meth_get_create(socket));
            BIO_meth_set_destroy(made, BIO_meth_get_destroy(socket));
        }
        return made;
    }();
    return method;
}

bool IsAddress(const std::string &host)
{
    in_addr v4{};
    in6_addr v6{};
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 || inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

}  // namespace

TIdTLSSession::TIdTLSSession(int socket) : FState(std::make_unique<TState>())
{
    FState->Ssl = SSL_new(Context());
    BIO *bio = FState->Ssl && SocketWithoutSignal() ? BIO_new(SocketWithoutSignal()) : nullptr;
    if (!bio)
        throw EIdTLSError(OpenSslError("TLS could not be set up"));
    BIO_set_fd(bio, socket, BIO_NOCLOSE);
    // One BIO both ways: the connection takes its one reference.
    SSL_set_bio(FState->Ssl, bio, bio);
    SSL_set_ex_data(FState->Ssl, StateIndex(), FState.get());
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
}

TIdTLSSession::~TIdTLSSession() = default;

void TIdTLSSession::Handshake(const std::string &host, const TIdTLSSession *resume, TWait wait, void *context)
{
    SSL *ssl = FState->Ssl;
    // The checks run, and what they find is kept; going on with a
    // certificate that fails them is for the user to decide.
    SSL_set_verify(ssl, SSL_VERIFY_PEER, NoteProblem);
    if (!host.empty()) {
        X509_VERIFY_PARAM *param = SSL_get0_param(ssl);
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (IsAddress(host)) {
            X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str());
        } else {
            SSL_set_tlsext_host_name(ssl, host.c_str());
            SSL_set1_host(ssl, host.c_str());
        }
    }
    if (resume) {
        FState->Sessions = resume->FState->Sessions;
        SSL_SESSION *session = FState->Sessions->Latest ? FState->Sessions->Latest : SSL_get0_session(resume->FState->Ssl);
        // A copy goes into the connection: OpenSSL spends a TLS 1.3 session
        // it resumed, and not every server sends a new one with each data
        // connection (proftpd sends none on an upload's).
        if (SSL_SESSION *copy = session ? SSL_SESSION_dup(session) : nullptr) {
            SSL_set_session(ssl, copy);
            SSL_SESSION_free(copy);
        }
    }
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(ssl);
        if (result == 1)
            return;
        const int error = SSL_get_error(ssl, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (!wait(context, error == SSL_ERROR_WANT_READ ? wtRead : wtWrite, -1))
                throw EIdTLSError("The server did not complete the TLS handshake in time.");
            continue;
        }
        throw EIdTLSError(OpenSslError("The TLS handshake failed"));
    }
}

int TIdTLSSession::Read(void *buffer, int length)
{
    ERR_clear_error();
    const int result = SSL_read(FState->Ssl, buffer, length);
    if (result > 0) {
        FWant = wtNothing;
        return result;
    }
    const int error = SSL_get_error(FState->Ssl, result);
    if (error == SSL_ERROR_ZERO_RETURN) {
        // The server said goodbye; ours goes back, as a clean end wants (a
        // session ended otherwise may not be resumed again).
        FEnd = enClosed;
        SSL_shutdown(FState->Ssl);
        return 0;
    }
    // The socket ended without the goodbye: an end all the same, but one
    // that does not vouch for what came before it.
    const unsigned long reason = ERR_peek_error();
    if ((error == SSL_ERROR_SYSCALL && reason == 0) ||
        (error == SSL_ERROR_SSL && ERR_GET_REASON(reason) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
        ERR_clear_error();
        FEnd = enCut;
        return 0;
    }
    return Stalled(error, "TLS read failed");
}

int TIdTLSSession::Write(const void *buffer, int length)
{
    ERR_clear_error();
    const int result = SSL_write(FState->Ssl, buffer, length);
    if (result > 0) {
        FWant = wtNothing;
        return result;
    }
    return Stalled(SSL_get_error(FState->Ssl, result), "TLS write failed");
}

int TIdTLSSession::Stalled(int error, const char *failure)
{
    switch (error) {
    case SSL_ERROR_WANT_READ:
        FWant = wtRead;
        return -1;
    case SSL_ERROR_WANT_WRITE:
        FWant = wtWrite;
        return -1;
    default:
        throw EIdTLSError(OpenSslError(failure));
    }
}

int TIdTLSSession::Pending() const
{
    return SSL_pending(FState->Ssl);
}

void TIdTLSSession::Shutdown(TWait wait, void *context, int drain)
{
    bool sent = false;
    for (int round = 0; round < 100 && !sent; ++round) {
        ERR_clear_error();
        const int result = SSL_shutdown(FState->Ssl);
        if (result >= 0) {
            sent = true;
            break;
        }
        const int error = SSL_get_error(FState->Ssl, result);
        if ((error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) ||
            !wait(context, error == SSL_ERROR_WANT_READ ? wtRead : wtWrite, -1))
            return;
    }
    // Then whatever the server still sends (session tickets, its own
    // goodbye) is read to its end: a socket closed with unread bytes
    // resets the connection, and the server may lose the last of an upload.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(drain);
    char scratch[4096];
    try {
        for (;;) {
            const int count = Read(scratch, int(sizeof scratch));
            if (count == 0)
                return;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
            if (count < 0 && (left <= 0 || !wait(context, Want(), int(left))))
                return;
        }
    } catch (const EIdTLSError &) {
        // After our goodbye, what goes wrong no longer matters.
    }
}

TIdCertificateInfo TIdTLSSession::PeerCertificate() const
{
    TIdCertificateInfo info;
    X509 *certificate = SSL_get1_peer_certificate(FState->Ssl);
    if (!certificate) {
        info.Problem = "the server sent no certificate";
        return info;
    }
    info.Subject = NameText(X509_get_subject_name(certificate));
    info.Issuer = NameText(X509_get_issuer_name(certificate));
    info.NotBefore = TimeText(X509_get0_notBefore(certificate));
    info.NotAfter = TimeText(X509_get0_notAfter(certificate));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length)) {
        for (unsigned int i = 0; i < length; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", digest[i]);
            info.Fingerprint += hex;
        }
    }
    X509_free(certificate);
    for (const std::string &problem : FState->Problems)
        info.Problem += (info.Problem.empty() ? "" : "; ") + problem;
    const long result = SSL_get_verify_result(FState->Ssl);
    if (info.Problem.empty() && result != X509_V_OK)
        info.Problem = X509_verify_cert_error_string(result);
    return info;
}

std::string TIdTLSSession::Description() const
{
    return std::string(SSL_get_version(FState->Ssl)) + ", " + SSL_get_cipher_name(FState->Ssl);
}

bool TIdTLSSession::Resumed() const
{
    return SSL_session_reused(FState->Ssl) == 1;
}
