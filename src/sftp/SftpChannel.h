// SFTP's requests and replies on an SSH channel: each request has an id,
// and its reply is waited for by that id while others (pipelined, or
// abandoned after an abort) come and go. A reply larger than any request
// asks for, shorter than its fields say, or for no request sent, ends the
// connection; so does a server silent for the read time-out in a wait.
#pragma once

#include "SftpPacket.h"

#include <atomic>
#include <map>
#include <memory>
#include <set>

class TSshConnection;

class TSftpChannel {
public:
    // Starts SFTP on the logged-in connection. `abort`, set from any
    // thread, ends the next wait. `readTimeout` (ms, or IdTimeoutInfinite)
    // is how long a wait takes the server's silence.
    TSftpChannel(std::unique_ptr<TSshConnection> ssh, std::atomic<bool> &abort, int readTimeout);
    ~TSftpChannel();

    bool IsOpen() const;
    int Socket() const;
    // What came while idle taken in; false when the connection ended.
    bool StillOpen();
    uint32_t NewId() { return ++FLastId; }
    // Sends a request; returns the id it was built with.
    uint32_t Send(TSftpWriter &&packet);
    // The reply to `id`: the packet's body, its type first. An abort ends
    // the wait (EIdTransferAborted): a transfer's (`abortable`) leaves the
    // connection for the next request, any other ends it.
    std::string Reply(uint32_t id, bool abortable = false);
    // A reply that will come but is wanted no more.
    void Abandon(uint32_t id);
    // A request whose reply is a status: raises unless it is OK.
    void Expect(TSftpWriter &&packet, const std::string &path);
    std::string OpenHandle(TSftpWriter &&packet, const std::string &path);
    void CloseHandle(const std::string &handle, bool wait);
    TSftpAttributes Stat(const std::string &path, sftp::TType how = sftp::Stat);
    // The failure a status stands for, in words, naming the path.
    [[noreturn]] static void Refuse(TSftpReader &status, const std::string &path);
    // A server's words as a person may read them: one line, cut short,
    // without control characters.
    static std::string Said(std::string_view text);

private:
    std::string ReadPacket(bool abortable);

    std::unique_ptr<TSshConnection> FSsh;
    std::atomic<bool> &FAbort;
    int FReadTimeout;
    std::string FIn;
    size_t FInStart = 0;
    uint32_t FLastId = 0;
    std::set<uint32_t> FPending, FAbandoned;
    std::map<uint32_t, std::string> FEarly;
};
