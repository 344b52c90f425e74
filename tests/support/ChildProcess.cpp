#include "ChildProcess.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char **environ;

ChildProcess::ChildProcess(const std::vector<std::string> &arguments)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    const int error = ::posix_spawn(&FPid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    FOutput = pipeFds[0];
    if (error != 0) {
        ::close(FOutput);
        throw std::runtime_error("cannot start " + arguments[0]);
    }
}

ChildProcess::~ChildProcess()
{
    Stop();
}

namespace {

// Every process whose parent is `pid`, and theirs, read from /proc.
void Descendants(pid_t pid, std::vector<pid_t> &out)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return;
    std::vector<pid_t> children;
    while (const dirent *entry = ::readdir(proc)) {
        const pid_t candidate = pid_t(std::atoi(entry->d_name));
        if (candidate <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(candidate) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        int parent = 0;
        char state = 0;
        if (close != std::string::npos && std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == pid)
            children.push_back(candidate);
    }
    ::closedir(proc);
    for (const pid_t child : children) {
        out.push_back(child);
        Descendants(child, out);
    }
}

}  // namespace

void ChildProcess::Kill()
{
    if (FPid <= 0)
        return;
    std::vector<pid_t> all{FPid};
    Descendants(FPid, all);
    for (const pid_t pid : all)
        ::kill(pid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
}

void ChildProcess::Stop()
{
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(FPid, nullptr, WNOHANG) == FPid) {
                FPid = -1;
                break;
            }
            ::usleep(10000);
        }
        if (FPid > 0) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
            FPid = -1;
        }
    }
    if (FOutput >= 0)
        ::close(FOutput);
    FOutput = -1;
}

std::string ChildProcess::WaitForLine(const std::string &text, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        size_t newline;
        while ((newline = FPending.find('\n')) != std::string::npos) {
            std::string line = FPending.substr(0, newline);
            FPending.erase(0, newline + 1);
            if (line.find(text) != std::string::npos)
                return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd fd{FOutput, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, int(left)) <= 0)
            throw std::runtime_error("helper said nothing with \"" + text + "\"; it said: " + FSeen);
        char buffer[4096];
        const ssize_t n = ::read(FOutput, buffer, sizeof buffer);
        if (n <= 0)
            throw std::runtime_error("helper ended before \"" + text + "\"; it said: " + FSeen);
        FPending.append(buffer, size_t(n));
        FSeen.append(buffer, size_t(n));
    }
}

void RunCommand(const std::string &command)
{
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("failed: " + command);
}

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}
