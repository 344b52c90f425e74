// The window's session, whatever the protocol: at each Connect it becomes
// the session the settings' scheme names. FTP is the window's own client,
// which keeps the window responsive itself; a protocol whose library
// blocks (SSH) runs on a thread of its own. A connection that is lost, or
// closed, is told once through OnClosed, as the FTP client tells its own.
#pragma once

#include "Protocols.h"
#include "RemoteSession.h"

#include <memory>

class TBrowsingSession : public TRemoteSession {
public:
    TBrowsingSession(TRemoteSession &ftp, TSessionMaker make = MakeSession);
    ~TBrowsingSession() override;

    void Connect(const TSessionSettings &settings) override;
    void Close() override;
    void Disconnect() override;
    bool Connected() override { return Current().Connected(); }
    void Settle(TSessionSettings &settings) override { Current().Settle(settings); }
    bool Busy() const override { return FCurrent->Busy(); }
    std::string CurrentFolder() override;
    void EnterFolder(const std::string &folder) override;
    void EnterParentFolder() override;
    TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                        const std::function<void(std::string_view)> &line) override;
    bool ListsUnordered() const override { return FCurrent->ListsUnordered(); }
    void MakeFolder(const std::string &name) override;
    void RemoveFolder(const std::string &name) override;
    void Delete(const std::string &name) override;
    void Rename(const std::string &from, const std::string &to) override;
    void ChangePermissions(const std::string &name, int mode) override;
    int64_t Size(const std::string &name) override;
    std::string ModificationTime(const std::string &name) override;
    void Prefetch(TFact fact, const std::string &name) override;
    bool SetModificationTime(const std::string &name, const std::string &time) override;
    void KeepAlive() override;
    void Get(const std::string &name, TStream &target, int64_t offset, int64_t size) override;
    void Put(TStream &source, const std::string &name, int64_t offset) override;
    void Append(TStream &source, const std::string &name) override;
    void SetTextMode(bool text) override { FCurrent->SetTextMode(text); }
    void Abort() override { FCurrent->Abort(); }
    void ClearAbort() override { FCurrent->ClearAbort(); }

    // Whether the session in use is the window's FTP client.
    bool SpeaksFtp() const { return FCurrent == &FFtp; }
    // How many calls the session has had: the same number a while later
    // means it was idle meanwhile.
    uint64_t Uses() const { return FUses; }
    // The connection of a session other than FTP has ended.
    std::function<void()> OnClosed;
    // Connects again, when set, before a call that needs the connection
    // finds it closed (the server ended it while idle): the user's next
    // action goes on as if it had never ended.
    std::function<void()> Revive;
    int IdleHandle() override { return FCurrent == FOther.get() && FOther ? FOther->IdleHandle() : -1; }
    void CheckIdle() override;

private:
    TRemoteSession &Current() { return *FCurrent; }
    void Wire(TRemoteSession &session);
    // Runs a call; a connection found lost after it is told.
    template <class F>
    auto Watched(F &&call) -> decltype(call());
    // The same for a call that needs the connection: revived first.
    template <class F>
    auto Used(F &&call) -> decltype(call());

    TRemoteSession &FFtp;
    TSessionMaker FMake;
    std::unique_ptr<TRemoteSession> FOther;
    TRemoteSession *FCurrent;
    uint64_t FUses = 0;
    bool FOtherOpen = false;
};
