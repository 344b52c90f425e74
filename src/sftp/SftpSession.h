// The remote session over SFTP (version 3) on an SSH connection. Requests
// are pipelined where a transfer makes many: a download keeps a window of
// reads in flight, an upload of writes, as fast links need. Its calls
// block: the window runs it on a thread of its own (TBackgroundSession).
#pragma once

#include "HostKeys.h"
#include "IdWakeSignal.h"
#include "RemoteSession.h"
#include "SessionSettings.h"
#include "SftpPacket.h"

#include <atomic>
#include <memory>
#include <mutex>

class TPrefixedSocket;
class TSftpChannel;
class TSshConnection;

class TSftpSession : public TRemoteSession {
public:
    // The user's known hosts and keys, where they are for this user.
    TSftpSession();
    TSftpSession(THostKeys hostKeys, std::vector<std::string> defaultKeys);
    ~TSftpSession() override;

    void Connect(const TSessionSettings &settings) override;
    void Close() override;
    void Disconnect() override;
    bool Connected() override;
    // The host key taken, a password or passphrase typed.
    void Settle(TSessionSettings &settings) override;
    bool Busy() const override { return FBusy; }
    std::string CurrentFolder() override { return FFolder; }
    void EnterFolder(const std::string &folder) override;
    void EnterParentFolder() override;
    TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                        const std::function<void(std::string_view)> &line) override;
    bool ListsUnordered() const override { return true; }
    void MakeFolder(const std::string &name) override;
    void RemoveFolder(const std::string &name) override;
    void Delete(const std::string &name) override;
    void Rename(const std::string &from, const std::string &to) override;
    void ChangePermissions(const std::string &name, int mode) override;
    int64_t Size(const std::string &name) override;
    std::string ModificationTime(const std::string &name) override;
    bool SetModificationTime(const std::string &name, const std::string &time) override;
    // A request the server answers at once: the channel is in use.
    void KeepAlive() override;
    int IdleHandle() override;
    void CheckIdle() override;
    void Get(const std::string &name, TStream &target, int64_t offset, int64_t size) override;
    void Put(TStream &source, const std::string &name, int64_t offset) override;
    void Append(TStream &source, const std::string &name) override;
    // Also ends a connect waiting for the server, a proxy, the key
    // exchange or the log-in.
    void Abort() override;
    void ClearAbort() override;

    // Reads and writes in flight during a transfer, and the bytes of each:
    // measured against OpenSSH's server on loopback (bench/sftp.sh), where
    // two mebibytes of reads in flight did best; its server takes reads up
    // to 256 KiB, and writes of 32 KiB in any server.
    static constexpr size_t ReadWindow = 32, WriteWindow = 64;
    static constexpr uint32_t ReadChunk = 65536, WriteChunk = 32768;

private:
    void CheckHostKey(TSshConnection &ssh, const std::vector<TKnownKey> &known);
    // A line for the log, as the connection goes.
    void Tell(const std::string &line);
    TSftpChannel &Channel();
    // A request of the type, with an id of its own.
    TSftpWriter Request(sftp::TType type);
    std::string Path(const std::string &name) const;
    [[noreturn]] static void RefuseWrite(TSftpReader &status, const std::string &path);
    void Transfer(TStream &source, const std::string &path, uint32_t flags, int64_t offset);
    void ResolveLinks(std::vector<TListingEntry> &entries, const std::string &folder);

    THostKeys FHostKeys;
    std::vector<std::string> FDefaultKeys;
    // Carries the connection where the server's first bytes came early;
    // it outlives the channel that writes to it.
    std::unique_ptr<TPrefixedSocket> FRelay;
    std::unique_ptr<TSftpChannel> FChannel;
    TSessionSettings FSettings;
    std::string FAcceptedKey;
    std::string FFolder;
    std::atomic<bool> FAbort{false}, FBusy{false};
    // The socket of a connect under way, for an abort to shut; -1 else.
    std::mutex FConnecting;
    int FConnectingSocket = -1;
    // Raised by an abort: ends the waits of the TCP connection and the
    // proxy, before the SSH library has the socket.
    TIdWakeSignal FAbortSignal;
};
