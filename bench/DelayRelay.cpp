// A far-away server on loopback: forwards an FTP server's control
// connections, and the passive data connections their replies announce,
// holding each direction's bytes for half the round trip, in order. The
// 227 and 229 replies are rewritten to name the relay's own data ports.
// Each control connection's commands and replies are logged with the time
// they left their sender, so a bench can count the round trips a step
// spends.
// Usage: bench_delay_relay SERVER-PORT ONE-WAY-MS LOG-FILE (appended to, so a
// bench may empty it between runs)
// Prints "port N" once it listens on 127.0.0.1.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

// What one direction may hold before it stops reading: a sender on a real
// link is held back by its window the same way.
constexpr size_t MaxHeld = 16u << 20;
constexpr size_t ReadSize = 256u << 10;

int Listener(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

int ConnectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, O_NONBLOCK);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

struct TChunk {
    TClock::time_point Due;
    std::string Bytes;  // empty: the sender's end, passed on as a shutdown
};

struct TDirection {
    int From = -1, To = -1;
    std::deque<TChunk> Held;
    size_t HeldBytes = 0, Sent = 0;  // Sent: of the head chunk
    bool Ended = false, Closed = false;
    std::string Line;  // control: an unfinished line
};

struct TLink {
    int Id = 0;
    bool Control = false;
    TClock::time_point Start;
    TDirection Up, Down;  // client to server, server to client
    bool Dead = false;
};

struct TDataListener {
    int Fd, ServerPort;
};

class TRelay {
public:
    TRelay(int serverPort, int oneWayMs, const char *log)
        : FServerPort(serverPort), FDelay(std::chrono::milliseconds(oneWayMs)), FLog(std::fopen(log, "a"))
    {
        int port = 0;
        FListener = Listener(port);
        std::printf("port %d\n", port);
        std::fflush(stdout);
    }

    void Run()
    {
        for (;;) {
            std::vector<pollfd> fds{{FListener, POLLIN, 0}};
            for (const TDataListener &data : FDataListeners)
                fds.push_back({data.Fd, POLLIN, 0});
            const size_t linksFrom = fds.size();
            auto timeout = std::chrono::milliseconds(1000);
            const auto now = TClock::now();
            for (auto &link : FLinks)
                for (TDirection *d : {&link->Up, &link->Down}) {
                    short events = 0;
                    if (!d->Ended && d->HeldBytes < MaxHeld)
                        events |= POLLIN;
                    if (!d->Held.empty()) {
                        if (d->Held.front().Due <= now)
                            events |= POLLOUT;
                        else
                            timeout = std::min(timeout, std::chrono::ceil<std::chrono::milliseconds>(
                                                            d->Held.front().Due - now));
                    }
                    fds.push_back({d->From, short(events & POLLIN), 0});
                    fds.push_back({d->To, short(events & POLLOUT), 0});
                }
            ::poll(fds.data(), fds.size(), int(timeout.count()));
            if (fds[0].revents & POLLIN)
                Accept(FListener, FServerPort, true);
            for (size_t i = 1; i < linksFrom; ++i)
                if (fds[i].revents & POLLIN) {
                    Accept(FDataListeners[i - 1].Fd, FDataListeners[i - 1].ServerPort, false);
                    ::close(FDataListeners[i - 1].Fd);
                    FDataListeners[i - 1].Fd = -1;
                }
            std::erase_if(FDataListeners, [](const TDataListener &d) { return d.Fd < 0; });
            size_t at = linksFrom;
            for (auto &link : FLinks)
                for (TDirection *d : {&link->Up, &link->Down}) {
                    const pollfd &from = fds[at];
                    at += 2;  // the receiving side: written to whenever its bytes are due
                    if (from.revents & (POLLIN | POLLHUP | POLLERR))
                        Read(*link, *d);
                    if (!link->Dead)
                        Write(*link, *d);
                }
            std::erase_if(FLinks, [](const std::unique_ptr<TLink> &link) {
                const bool done = link->Dead || (link->Up.Closed && link->Down.Closed);
                if (done) {
                    ::close(link->Up.From);
                    ::close(link->Up.To);
                }
                return done;
            });
        }
    }

private:
    void Accept(int listener, int serverPort, bool control)
    {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
        if (client < 0)
            return;
        const int server = ConnectTo(serverPort);
        if (server < 0) {
            ::close(client);
            return;
        }
        const int on = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        auto link = std::make_unique<TLink>();
        link->Id = ++FLinkCount;
        link->Control = control;
        link->Start = TClock::now();
        link->Up.From = link->Down.To = client;
        link->Up.To = link->Down.From = server;
        if (FLog)
            std::fprintf(FLog, "%d %s open\n", link->Id, control ? "control" : "data");
        FLinks.push_back(std::move(link));
    }

    void Read(TLink &link, TDirection &d)
    {
        char buffer[ReadSize];
        const ssize_t got = ::read(d.From, buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (got < 0) {
            link.Dead = true;
            return;
        }
        const auto due = TClock::now() + FDelay;
        if (got == 0) {
            d.Ended = true;
            d.Held.push_back({due, {}});
            return;
        }
        std::string bytes(buffer, size_t(got));
        if (link.Control) {
            // Whole lines only: a reply may need its data port changed.
            d.Line += bytes;
            bytes.clear();
            for (size_t end; (end = d.Line.find('\n')) != std::string::npos;) {
                std::string line = d.Line.substr(0, end + 1);
                d.Line.erase(0, end + 1);
                if (&d == &link.Up)
                    LogLine(link, ">", line);
                else
                    LogLine(link, "<", line = Rewritten(line));
                bytes += line;
            }
            if (bytes.empty())
                return;
        }
        d.HeldBytes += bytes.size();
        d.Held.push_back({due, std::move(bytes)});
    }

    void Write(TLink &link, TDirection &d)
    {
        while (!d.Held.empty() && d.Held.front().Due <= TClock::now()) {
            TChunk &head = d.Held.front();
            if (head.Bytes.empty()) {
                ::shutdown(d.To, SHUT_WR);
                d.Held.pop_front();
                d.Closed = true;
                continue;
            }
            const ssize_t put = ::send(d.To, head.Bytes.data() + d.Sent, head.Bytes.size() - d.Sent, MSG_NOSIGNAL);
            if (put < 0) {
                if (errno != EAGAIN && errno != EINTR)
                    link.Dead = true;
                return;
            }
            d.Sent += size_t(put);
            if (d.Sent < head.Bytes.size())
                return;
            d.HeldBytes -= head.Bytes.size();
            d.Sent = 0;
            d.Held.pop_front();
        }
    }

    // "> command" as it left the client, "< reply" as it left the server.
    void LogLine(const TLink &link, const char *way, std::string line)
    {
        if (!FLog)
            return;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (line.size() > 4 && (line.rfind("PASS ", 0) == 0 || line.rfind("pass ", 0) == 0))
            line = line.substr(0, 5) + "****";
        const double ms = std::chrono::duration<double, std::milli>(TClock::now() - link.Start).count();
        std::fprintf(FLog, "%d %.1f %s %s\n", link.Id, ms, way, line.c_str());
        std::fflush(FLog);
    }

    // "227 ... (127,0,0,1,p1,p2)" and "229 ... (|||port|)" name the
    // relay's own listener in front of the server's.
    std::string Rewritten(const std::string &line)
    {
        static const std::regex pasv(R"((\d+),(\d+),(\d+),(\d+),(\d+),(\d+))");
        static const std::regex epsv(R"(\(\|\|\|(\d+)\|\))");
        std::smatch m;
        if (line.rfind("227", 0) == 0 && std::regex_search(line, m, pasv)) {
            const int port = DataListener(std::stoi(m[5]) * 256 + std::stoi(m[6]));
            return m.prefix().str() + "127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256) +
                   m.suffix().str();
        }
        if (line.rfind("229", 0) == 0 && std::regex_search(line, m, epsv))
            return m.prefix().str() + "(|||" + std::to_string(DataListener(std::stoi(m[1]))) + "|)" + m.suffix().str();
        return line;
    }

    int DataListener(int serverPort)
    {
        int port = 0;
        FDataListeners.push_back({Listener(port), serverPort});
        return port;
    }

    int FServerPort;
    TClock::duration FDelay;
    std::FILE *FLog;
    int FListener = -1, FLinkCount = 0;
    std::vector<TDataListener> FDataListeners;
    std::vector<std::unique_ptr<TLink>> FLinks;
};

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_delay_relay SERVER-PORT ONE-WAY-MS LOG-FILE\n");
        return 2;
    }
    TRelay(std::atoi(argv[1]), std::atoi(argv[2]), argv[3]).Run();
}
