// A scripted TCP peer on 127.0.0.1 for exact byte sequences: each test
// writes what the far end does (send these bytes, read a line, close half
// way, stream without a line end...) as a function that runs on the peer's
// own thread against the accepted connection. Everything the peer read is
// kept as a transcript. Failures inside a script come back from Join.
//
// Plain POSIX sockets: nothing here goes through the code under test.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

class PeerSocket {
public:
    explicit PeerSocket(int fd);
    ~PeerSocket();
    PeerSocket(const PeerSocket &) = delete;
    PeerSocket &operator=(const PeerSocket &) = delete;

    void Send(std::string_view bytes);
    // One line without its CR LF (or LF); throws when the peer closes first.
    std::string ReadLine();
    // Exactly `count` bytes; throws when the connection closes first.
    std::string Read(size_t count);
    std::string ReadUntilClose();
    // True when the other side has closed (reads 0 bytes within `ms`).
    bool WaitForClose(int ms = 10000);
    void ShutdownWrite();
    // Closes with a reset instead of an orderly close.
    void Reset();
    void Close();

    int Fd() const { return FFd; }
    const std::string &Transcript() const { return FTranscript; }

private:
    bool Fill();

    int FFd;
    std::string FPending;
    std::string FTranscript;
};

class ScriptedPeer {
public:
    ScriptedPeer();
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer &) = delete;
    ScriptedPeer &operator=(const ScriptedPeer &) = delete;

    int Port() const { return FPort; }
    // Accepts the next connection on a thread of its own and runs `script`.
    void Serve(std::function<void(PeerSocket &)> script);
    // Waits for the script to end; rethrows what it threw.
    void Join();
    // Everything the last script's connection read.
    const std::string &Transcript() const { return FTranscript; }

private:
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
    std::exception_ptr FFailure;
    std::string FTranscript;
};

// A socket listening on 127.0.0.1 at a free port, which `port` receives;
// -1 when that fails.
int ListenLoopback(int backlog, int &port);

// Connects a plain socket to 127.0.0.1:port (for tests that play the client).
int ConnectLoopback(int port);
// Until a server (one that says nothing when ready) accepts on
// 127.0.0.1:port; throws after five seconds.
void WaitUntilListening(int port);
// The same on IPv6 loopback, [::1]:port.
void WaitUntilListening6(int port);
// The same from another loopback address ("127.0.0.2"): a third party.
int ConnectLoopbackFrom(const char *source, int port);

// The port of a "PORT h1,h2,h3,h4,p1,p2" command line.
int PortOfPortCommand(const std::string &line);
// The reply to PASV naming 127.0.0.1:port, with its line end.
std::string PassiveReply(int port);
// Takes the first line (without its CR LF or LF) out of `pending`; false
// while no line end has come.
bool TakeLine(std::string &pending, std::string &line);
