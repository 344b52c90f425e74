#include "PrefixedSocket.h"

#include "IdException.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// All of `bytes` to `fd`; false when it will take no more.
bool SendAll(int fd, const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= size_t(sent);
    }
    return true;
}

}  // namespace

TPrefixedSocket::TPrefixedSocket(int real, std::string early) : FReal(real)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0 || ::pipe2(FStop, O_CLOEXEC) != 0) {
        ::close(real);
        throw EIdException("The connection could not be handed on.");
    }
    FInner = pair[0];
    FOuter = pair[1];
    FThread = std::thread([this, early = std::move(early)]() mutable { Carry(std::move(early)); });
}

TPrefixedSocket::~TPrefixedSocket()
{
    const char stop = 0;
    (void)!::write(FStop[1], &stop, 1);
    FThread.join();
    ::shutdown(FReal, SHUT_RDWR);
    for (const int fd : {FReal, FInner, FStop[0], FStop[1]})
        ::close(fd);
}

void TPrefixedSocket::Carry(std::string early)
{
    if (!SendAll(FInner, early.data(), early.size()))
        return;
    char buffer[64 * 1024];
    pollfd watched[] = {{FReal, POLLIN, 0}, {FInner, POLLIN, 0}, {FStop[0], POLLIN, 0}};
    for (;;) {
        if (::poll(watched, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (watched[2].revents)
            break;
        bool ended = false;
        for (int side = 0; side < 2 && !ended; ++side) {
            if (!watched[side].revents)
                continue;
            const int from = side == 0 ? FReal : FInner, to = side == 0 ? FInner : FReal;
            const ssize_t count = ::recv(from, buffer, sizeof buffer, 0);
            if (count < 0 && errno == EINTR)
                continue;
            // One side's end is the other's.
            ended = count <= 0 || !SendAll(to, buffer, size_t(count));
        }
        if (ended)
            break;
    }
    ::shutdown(FInner, SHUT_RDWR);
    ::shutdown(FReal, SHUT_RDWR);
}
