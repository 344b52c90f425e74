// A server in memory behind the remote-session face: folders and files by
// absolute path, shared by every session made from it (each transfer
// connection is one), and the moves they made, for a test to read. It can
// cut a download short, as a lost connection does, and refuse offsets, as
// servers without REST do.
#pragma once

#include "Protocols.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class TMemoryServer {
public:
    TMemoryServer();

    void AddFolder(const std::string &path);
    void AddFile(const std::string &path, const std::string &bytes, const std::string &time = "20261201120000");
    // "" when there is no such file.
    std::string File(const std::string &path);
    // The next `times` downloads of the file stop after `bytes`.
    void CutAfter(const std::string &path, int64_t bytes, int times = 1);
    bool RefuseOffsets = false;
    // Whether a client may set a file's time.
    bool KeepsTimes = true;
    // Whether the server gives a file's SHA-256; and the next `n` digests
    // it gives are one bit off, as a server's whose copy differs.
    bool Hashes = false;
    int WrongDigests = 0;
    // A file's time, "" when there is none.
    std::string Time(const std::string &path);
    int KeepAlives();
    // The bits a client gave a path, or -1.
    int Mode(const std::string &path);
    // Called as a listing begins, on the session's thread.
    std::function<void()> BeforeList;
    // The most entries one listing handed over; a listing stops at its
    // limit, as a real server's does.
    std::atomic<size_t> MostListed{0};
    // Each move as "get /a 0" or "put /b 10" (the offset), "append /b".
    std::vector<std::string> Moves();

    // Sessions on this server, for a runner or a worker to log in with.
    TSessionMaker Maker();

private:
    friend class TMemorySession;
    struct TFile {
        std::string Bytes, Time;
    };
    std::mutex FMutex;
    std::set<std::string> FFolders;
    std::map<std::string, TFile> FFiles;
    std::map<std::string, std::pair<int64_t, int>> FCuts;
    std::vector<std::string> FMoves;
    int FKeepAlives = 0;
    std::map<std::string, int> FModes;
};
