#include "ScriptedPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

// A broken test must fail, not hang: every peer wait gives up after this.
constexpr int PeerTimeoutMs = 20000;

[[noreturn]] void Fail(const std::string &what)
{
    throw std::runtime_error("scripted peer: " + what + (errno ? std::string(" (") + std::strerror(errno) + ")" : ""));
}

}  // namespace

PeerSocket::PeerSocket(int fd) : FFd(fd) {}

PeerSocket::~PeerSocket()
{
    Close();
}

void PeerSocket::Send(std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(FFd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("send failed");
        done += size_t(n);
    }
}

bool PeerSocket::Fill()
{
    pollfd fd{FFd, POLLIN, 0};
    const int ready = ::poll(&fd, 1, PeerTimeoutMs);
    if (ready <= 0) {
        errno = 0;
        Fail("timed out waiting for data");
    }
    char buffer[65536];
    const ssize_t n = ::recv(FFd, buffer, sizeof buffer, 0);
    if (n < 0)
        Fail("recv failed");
    FPending.append(buffer, size_t(n));
    FTranscript.append(buffer, size_t(n));
    return n > 0;
}

std::string PeerSocket::ReadLine()
{
    for (std::string line;;) {
        if (TakeLine(FPending, line))
            return line;
        if (!Fill()) {
            errno = 0;
            Fail("closed before a line end; had \"" + FPending + "\"");
        }
    }
}

std::string PeerSocket::Read(size_t count)
{
    while (FPending.size() < count)
        if (!Fill()) {
            errno = 0;
            Fail("closed after " + std::to_string(FPending.size()) + " of " + std::to_string(count) + " bytes");
        }
    std::string bytes = FPending.substr(0, count);
    FPending.erase(0, count);
    return bytes;
}

std::string PeerSocket::ReadUntilClose()
{
    while (Fill()) {
    }
    std::string bytes;
    bytes.swap(FPending);
    return bytes;
}

bool PeerSocket::WaitForClose(int ms)
{
    pollfd fd{FFd, POLLIN, 0};
    while (::poll(&fd, 1, ms) > 0) {
        char buffer[4096];
        const ssize_t n = ::recv(FFd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return true;
        FTranscript.append(buffer, size_t(n));
    }
    return false;
}

void PeerSocket::ShutdownWrite()
{
    ::shutdown(FFd, SHUT_WR);
}

void PeerSocket::Reset()
{
    linger option{1, 0};
    ::setsockopt(FFd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    Close();
}

void PeerSocket::Close()
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
}

ScriptedPeer::ScriptedPeer()
{
    FListener = ListenLoopback(8, FPort);
    if (FListener < 0)
        Fail("cannot listen");
}

ScriptedPeer::~ScriptedPeer()
{
    if (FThread.joinable())
        FThread.join();
    ::close(FListener);
}

void ScriptedPeer::Serve(std::function<void(PeerSocket &)> script)
{
    if (FThread.joinable())
        FThread.join();
    FFailure = nullptr;
    FThread = std::thread([this, script = std::move(script)] {
        try {
            pollfd fd{FListener, POLLIN, 0};
            if (::poll(&fd, 1, PeerTimeoutMs) <= 0) {
                errno = 0;
                Fail("no connection arrived");
            }
            PeerSocket peer(::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC));
            try {
                script(peer);
            } catch (...) {
                FTranscript = peer.Transcript();
                throw;
            }
            FTranscript = peer.Transcript();
        } catch (...) {
            FFailure = std::current_exception();
        }
    });
}

void ScriptedPeer::Join()
{
    if (FThread.joinable())
        FThread.join();
    if (FFailure)
        std::rethrow_exception(std::exchange(FFailure, nullptr));
}

int ListenLoopback(int backlog, int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, backlog) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int ConnectLoopbackFrom(const char *source, int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &local.sin_addr);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    if (::bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void WaitUntilListening(int port)
{
    for (int i = 0; i < 500; ++i) {
        if (const int fd = ConnectLoopback(port); fd >= 0) {
            ::close(fd);
            return;
        }
        ::usleep(10000);
    }
    throw std::runtime_error("the server never listened on port " + std::to_string(port));
}

void WaitUntilListening6(int port)
{
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(uint16_t(port));
    for (int i = 0; i < 500; ++i) {
        const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool listening = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        if (listening)
            return;
        ::usleep(10000);
    }
    throw std::runtime_error("the server never listened on [::1]:" + std::to_string(port));
}

int ConnectLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string PassiveReply(int port)
{
    return "227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
           ").\r\n";
}

bool TakeLine(std::string &pending, std::string &line)
{
    const auto lf = pending.find('\n');
    if (lf == std::string::npos)
        return false;
    line = pending.substr(0, lf);
    pending.erase(0, lf + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

int PortOfPortCommand(const std::string &line)
{
    const auto last = line.rfind(',');
    const auto before = line.rfind(',', last - 1);
    return std::stoi(line.substr(before + 1, last - before - 1)) * 256 + std::stoi(line.substr(last + 1));
}
