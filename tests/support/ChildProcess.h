// A helper program run by a test (a real FTP server, a SOCKS proxy): started
// with its output on a pipe, stopped and reaped with the object.
#pragma once

#include <string>
#include <vector>

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string> &arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Reads the child's output (stdout and stderr together) until a line
    // contains `text`; returns that line. Throws when the child ends or
    // nothing comes within `ms`.
    std::string WaitForLine(const std::string &text, int ms = 20000);
    void Stop();
    // Killed with all it started, at once, as a server that dies: its
    // connections end with it.
    void Kill();

private:
    int FPid = -1;
    int FOutput = -1;
    std::string FPending;
    std::string FSeen;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();
// A shell command a fixture needs (a key made, a file owned): throws when
// it fails.
void RunCommand(const std::string &command);
