#include "IdStackPosix.h"

#include "IdException.h"
#include "IdResourceStrings.h"
#include "IdScopeGuard.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

thread_local int GLastError = 0;

// Records the last error of a failed call (result -1) and passes it on.
int Checked(int result)
{
    if (result == -1)
        GLastError = TIdStackPosix::TranslateErrno(errno);
    return result;
}

int Fail(int code)
{
    GLastError = code;
    return -1;
}

// An address of either family, with its length for the calls that take
// one.
struct TSockAddr {
    sockaddr_storage Storage{};
    socklen_t Length = sizeof(sockaddr_storage);
    sockaddr *Address() { return reinterpret_cast<sockaddr *>(&Storage); }
};

// "" is the family's any-address; an address with a colon is IPv6.
bool ToSockAddr(int family, const std::string &address, int port, TSockAddr &out)
{
    out = {};
    if (family == Id_PF_INET6 || address.find(':') != std::string::npos) {
        auto &in6 = reinterpret_cast<sockaddr_in6 &>(out.Storage);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(uint16_t(port));
        out.Length = sizeof in6;
        return address.empty() ? (in6.sin6_addr = in6addr_any, true)
                               : ::inet_pton(AF_INET6, address.c_str(), &in6.sin6_addr) == 1;
    }
    auto &in = reinterpret_cast<sockaddr_in &>(out.Storage);
    in.sin_family = AF_INET;
    in.sin_port = htons(uint16_t(port));
    out.Length = sizeof in;
    if (address.empty()) {
        in.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return ::inet_pton(AF_INET, address.c_str(), &in.sin_addr) == 1;
}

// An IPv4 peer of a dual-stack socket ("::ffff:127.0.0.1") reads as the
// IPv4 address it is.
int FromSockAddr(const sockaddr *in, std::string &address, int &port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (in->sa_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(in);
        port = ntohs(in6->sin6_port);
        if (IN6_IS_ADDR_V4MAPPED(&in6->sin6_addr)) {
            ::inet_ntop(AF_INET, &in6->sin6_addr.s6_addr[12], text, sizeof text);
            address = text;
            return Id_PF_INET;
        }
        ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        address = text;
        return Id_PF_INET6;
    }
    const auto *in4 = reinterpret_cast<const sockaddr_in *>(in);
    ::inet_ntop(AF_INET, &in4->sin_addr, text, sizeof text);
    address = text;
    port = ntohs(in4->sin_port);
    return Id_PF_INET;
}

}  // namespace

int TIdStackPosix::TranslateErrno(int error)
{
    switch (error) {
    case EAGAIN: return 10035;  // EWOULDBLOCK is the same number on Linux
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case EPIPE: return 10058;  // a send after the peer or we shut the socket
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default:
        // Numbers 1 to 34 are the same in Linux and BSD.
        return error > 0 && error < 35 ? 10000 + error : error;
    }
}

int TIdStackPosix::TranslateResolverError(int error)
{
    switch (error) {
    case EAI_NONAME: return Id_WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return Id_WSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return Id_WSANO_DATA;
    case EAI_SYSTEM: return TranslateErrno(errno);
    default: return Id_WSANO_RECOVERY;
    }
}

int TIdStackPosix::LastError()
{
    return GLastError;
}

TIdSocketHandleValue TIdStackPosix::CreateSocket(int family, int type, int protocol)
{
    if (family != Id_PF_INET && family != Id_PF_INET6)
        return Fail(10047);
    return Checked(::socket(family == Id_PF_INET6 ? AF_INET6 : AF_INET, (type == Id_SOCK_STREAM ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, protocol));
}

int TIdStackPosix::CloseSocketHandle(TIdSocketHandleValue socket)
{
    return Checked(::close(socket));
}

int TIdStackPosix::ShutdownSocket(TIdSocketHandleValue socket, int how)
{
    return Checked(::shutdown(socket, how));
}

int TIdStackPosix::BindSocket(TIdSocketHandleValue socket, int family, const std::string &address, int port)
{
    TSockAddr in;
    if (!ToSockAddr(family, address, port, in))
        return Fail(10049);
    return Checked(::bind(socket, in.Address(), in.Length));
}

int TIdStackPosix::ConnectSocket(TIdSocketHandleValue socket, int family, const std::string &address, int port)
{
    TSockAddr in;
    if (!ToSockAddr(family, address, port, in))
        return Fail(10049);
    int result = ::connect(socket, in.Address(), in.Length);
    // An interrupted connect goes on in the background; EALREADY/EISCONN
    // would follow on a retry, so wait for its end instead.
    if (result == -1 && errno == EINTR) {
        pollfd fd{socket, POLLOUT, 0};
        while (::poll(&fd, 1, -1) == -1 && errno == EINTR) {
        }
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error == 0)
            return 0;
        errno = error;
    }
    return Checked(result);
}

int TIdStackPosix::ListenSocket(TIdSocketHandleValue socket, int backlog)
{
    return Checked(::listen(socket, backlog));
}

TIdSocketHandleValue TIdStackPosix::AcceptSocket(TIdSocketHandleValue listener, std::string &address, int &port)
{
    TSockAddr in;
    int result;
    do {
        in.Length = sizeof in.Storage;
        result = ::accept4(listener, in.Address(), &in.Length, SOCK_CLOEXEC);
    } while (result == -1 && errno == EINTR);
    if (result != -1)
        FromSockAddr(in.Address(), address, port);
    return Checked(result);
}

int TIdStackPosix::ReceiveOn(TIdSocketHandleValue socket, void *buffer, int length, int flags)
{
    ssize_t result;
    do {
        result = ::recv(socket, buffer, size_t(std::max(length, 0)), flags);
    } while (result == -1 && errno == EINTR);
    return Checked(int(result));
}

int TIdStackPosix::ReceiveFromOn(TIdSocketHandleValue socket, void *buffer, int length, int flags,
                                 std::string &address, int &port)
{
    TSockAddr in;
    ssize_t result;
    do {
        in.Length = sizeof in.Storage;
        result = ::recvfrom(socket, buffer, size_t(std::max(length, 0)), flags, in.Address(), &in.Length);
    } while (result == -1 && errno == EINTR);
    if (result != -1)
        FromSockAddr(in.Address(), address, port);
    return Checked(int(result));
}

int TIdStackPosix::SendOn(TIdSocketHandleValue socket, const void *buffer, int length, int flags)
{
    ssize_t result;
    do {
        result = ::send(socket, buffer, size_t(std::max(length, 0)), flags | MSG_NOSIGNAL);
    } while (result == -1 && errno == EINTR);
    return Checked(int(result));
}

int TIdStackPosix::SendToOn(TIdSocketHandleValue socket, const void *buffer, int length, int flags,
                            const std::string &address, int port)
{
    TSockAddr in;
    if (!ToSockAddr(Id_PF_INET, address, port, in))
        return Fail(10049);
    ssize_t result;
    do {
        result = ::sendto(socket, buffer, size_t(std::max(length, 0)), flags | MSG_NOSIGNAL, in.Address(), in.Length);
    } while (result == -1 && errno == EINTR);
    return Checked(int(result));
}

int TIdStackPosix::SetSocketOption(TIdSocketHandleValue socket, int level, int option, const void *value, int length)
{
    return Checked(::setsockopt(socket, level, option, value, socklen_t(length)));
}

int TIdStackPosix::SelectSockets(std::vector<TIdSocketHandleValue> *readList,
                                 std::vector<TIdSocketHandleValue> *writeList,
                                 std::vector<TIdSocketHandleValue> *errorList, int timeout)
{
    // poll() rather than select(): select writes outside its set for a
    // descriptor above 1023. The lists keep their limit of 64 all the same.
    struct List {
        std::vector<TIdSocketHandleValue> *Sockets;
        short Events;
        short Ready;
    };
    const List lists[] = {
        {readList, POLLIN, POLLIN | POLLHUP | POLLERR},
        {writeList, POLLOUT, POLLOUT | POLLHUP | POLLERR},
        {errorList, POLLPRI, POLLPRI},
    };
    std::vector<pollfd> fds;
    for (const List &list : lists) {
        if (!list.Sockets)
            continue;
        if (list.Sockets->size() > 64)
            throw EIdStackSetSizeExceeded(RSId::SetSizeExceeded);
        for (TIdSocketHandleValue socket : *list.Sockets)
            fds.push_back({socket, list.Events, 0});
    }
    const int result = Checked(::poll(fds.data(), nfds_t(fds.size()), timeout == IdTimeoutInfinite ? -1 : timeout));
    if (result == -1)
        return -1;

    // select() counts a socket once per set it is ready in.
    int count = 0;
    size_t index = 0;
    for (const List &list : lists) {
        if (!list.Sockets)
            continue;
        std::vector<TIdSocketHandleValue> ready;
        for (TIdSocketHandleValue socket : *list.Sockets) {
            if (fds[index++].revents & list.Ready)
                ready.push_back(socket);
        }
        count += int(ready.size());
        *list.Sockets = std::move(ready);
    }
    return count;
}

void TIdStackPosix::RemoteAddressOf(TIdSocketHandleValue socket, int &family, int &port, std::string &address)
{
    TSockAddr in;
    CheckResult(Checked(::getpeername(socket, in.Address(), &in.Length)));
    family = FromSockAddr(in.Address(), address, port);
}

void TIdStackPosix::LocalAddressOf(TIdSocketHandleValue socket, int &family, int &port, std::string &address)
{
    TSockAddr in;
    CheckResult(Checked(::getsockname(socket, in.Address(), &in.Length)));
    family = FromSockAddr(in.Address(), address, port);
}

std::string TIdStackPosix::HostToAddress(const std::string &name)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    const int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (error != 0 || !result)
        RaiseError(TranslateResolverError(error != 0 ? error : EAI_NONAME));
    std::string address;
    int port;
    FromSockAddr(result->ai_addr, address, port);
    ::freeaddrinfo(result);
    return address;
}

std::vector<std::string> TIdStackPosix::HostToAddresses(const std::string &name)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo *result = nullptr;
    const int error = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
    if (error != 0 || !result)
        RaiseError(TranslateResolverError(error != 0 ? error : EAI_NONAME));
    // In the resolver's order of preference, each once.
    std::vector<std::string> addresses;
    for (addrinfo *entry = result; entry; entry = entry->ai_next) {
        std::string address;
        int port;
        FromSockAddr(entry->ai_addr, address, port);
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    ::freeaddrinfo(result);
    return addresses;
}

std::string TIdStackPosix::LocalHostName()
{
    char name[250] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

void TIdStackPosix::RefreshLocalAddresses()
{
    FLocalAddresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    const int error = ::getaddrinfo(LocalHostName().c_str(), nullptr, &hints, &result);
    if (error != 0 || !result)
        RaiseError(TranslateResolverError(error != 0 ? error : EAI_NONAME));
    for (addrinfo *entry = result; entry; entry = entry->ai_next) {
        std::string address;
        int port;
        FromSockAddr(entry->ai_addr, address, port);
        FLocalAddresses.push_back(address);
    }
    ::freeaddrinfo(result);
}

std::string TIdStackPosix::AddressToHostName(const std::string &address)
{
    TSockAddr in;
    if (address.empty() || !ToSockAddr(Id_PF_INET, address, 0, in))
        RaiseError(Id_WSAHOST_NOT_FOUND);
    char host[NI_MAXHOST] = {};
    const int error = ::getnameinfo(in.Address(), in.Length, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    if (error != 0)
        RaiseError(TranslateResolverError(error));
    return host;
}

int TIdStackPosix::ServicePort(const std::string &name)
{
    servent entry{};
    servent *found = nullptr;
    char buffer[1024];
    if (::getservbyname_r(name.c_str(), nullptr, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return ntohs(uint16_t(found->s_port));
    int port = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), port);
    if (error != std::errc() || end != name.data() + name.size() || name.empty())
        throw EIdInvalidServiceName(FormatText(RSId::InvalidServiceName, name));
    return port;
}

std::vector<std::string> TIdStackPosix::ServiceNames(int port)
{
    servent entry{};
    servent *found = nullptr;
    char buffer[1024];
    std::vector<std::string> names;
    if (::getservbyport_r(htons(uint16_t(port)), nullptr, &entry, buffer, sizeof buffer, &found) == 0 && found) {
        names.push_back(found->s_name);
        for (char **alias = found->s_aliases; alias && *alias; ++alias)
            names.push_back(*alias);
    }
    return names;
}

uint16_t TIdStackPosix::HostToNet16(uint16_t value) { return htons(value); }
uint16_t TIdStackPosix::NetToHost16(uint16_t value) { return ntohs(value); }
uint32_t TIdStackPosix::HostToNet32(uint32_t value) { return htonl(value); }
uint32_t TIdStackPosix::NetToHost32(uint32_t value) { return ntohl(value); }

int TIdStackPosix::SetBlocking(TIdSocketHandleValue socket, bool blocking)
{
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags == -1)
        return Checked(-1);
    return Checked(::fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK));
}

int TIdStackPosix::PendingError(TIdSocketHandleValue socket)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == -1)
        return TranslateErrno(errno);
    return error == 0 ? 0 : TranslateErrno(error);
}

void TIdStackPosix::SetLastError(int code)
{
    GLastError = code;
}

int64_t TIdStackPosix::WholeFileSend(TIdSocketHandleValue socket, const std::string &path)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    struct stat info {};
    int64_t sent = 0;
    bool ok = ::fstat(file, &info) == 0;
    ::posix_fadvise(file, 0, 0, POSIX_FADV_SEQUENTIAL);

    // sendfile has no MSG_NOSIGNAL: hold SIGPIPE back on this thread while it
    // runs and swallow one that a closed peer caused.
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    const auto restore = IdScopeExit([&pipe, &old, wasPending] {
        sigset_t now;
        sigpending(&now);
        if (!wasPending && sigismember(&now, SIGPIPE)) {
            const timespec zero{0, 0};
            sigtimedwait(&pipe, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    });

    while (ok && sent < info.st_size) {
        const ssize_t n = ::sendfile(socket, file, nullptr, size_t(info.st_size - sent));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        sent += std::max<ssize_t>(n, 0);
    }
    ::close(file);
    return ok ? int64_t(info.st_size) : 0;
}
