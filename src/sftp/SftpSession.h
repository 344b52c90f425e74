// The remote session over SFTP (version 3) on an SSH connection. Requests
// are pipelined where a transfer makes many: a download keeps a window of
// reads in flight, an upload of writes, as fast links need. Its calls
// block: the window runs it on a thread of its own (TBackgroundSession).
#pragma once

#include "HostKeys.h"
#include "RemoteSession.h"
#include "SessionSettings.h"
#include "SftpPacket.h"

#include <atomic>
#include <map>
#include <memory>
#include <set>

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
    void Get(const std::string &name, TStream &target, int64_t offset, int64_t size) override;
    void Put(TStream &source, const std::string &name, int64_t offset) override;
    void Append(TStream &source, const std::string &name) override;
    void Abort() override { FAbort = true; }
    void ClearAbort() override { FAbort = false; }

    // Reads and writes in flight during a transfer, and the bytes of each.
    static constexpr size_t Window = 64;
    static constexpr uint32_t Chunk = 32768;

private:
    void CheckHostKey();
    // A request: sent at once; its reply is waited for by id.
    uint32_t Send(TSftpWriter &&packet);
    uint32_t NewId() { return ++FLastId; }
    // The reply to `id`: the packet's body, its type first. A transfer's
    // wait ends at an abort.
    std::string Reply(uint32_t id, bool abortable = false);
    std::string ReadPacket(bool abortable);
    // Replies that will come but are wanted no more.
    void Abandon(uint32_t id) { FPending.erase(id); }
    // A request whose reply is a status: raises unless it is OK.
    void Expect(TSftpWriter &&packet, const std::string &path);
    std::string OpenHandle(TSftpWriter &&packet, const std::string &path);
    void CloseHandle(const std::string &handle, bool wait);
    TSftpAttributes Stat(const std::string &path, sftp::TType how = sftp::Stat);
    // The failure a status stands for, in words, naming the path.
    [[noreturn]] void Refuse(TSftpReader &status, const std::string &path);
    std::string Path(const std::string &name) const;
    void Transfer(TStream &source, const std::string &path, uint32_t flags, int64_t offset);
    void ResolveLinks(std::vector<TListingEntry> &entries, const std::string &folder);

    THostKeys FHostKeys;
    std::vector<std::string> FDefaultKeys;
    std::unique_ptr<TSshConnection> FSsh;
    TSessionSettings FSettings;
    std::string FAcceptedKey;
    std::string FIn;
    size_t FInStart = 0;
    uint32_t FLastId = 0;
    std::set<uint32_t> FPending;
    std::map<uint32_t, std::string> FEarly;
    std::string FFolder;
    std::atomic<bool> FAbort{false}, FBusy{false};
};
