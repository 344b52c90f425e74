// A session whose calls run on a thread of their own: for a protocol whose
// library blocks (SSH), so that the window stays responsive while it
// waits, as FTP's anti-freeze keeps it. The caller waits for each call
// with its event loop running; what the call tells meanwhile (entries as
// they arrive, progress, notices) reaches the caller's thread. One call at
// a time: another, from a handler that ran meanwhile, raises EIdFTPBusy.
// Abort goes straight to the session, from any thread. It is not to be
// destroyed by a handler that runs while one of its calls waits.
#pragma once

#include "RemoteSession.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

class TBackgroundSession : public TRemoteSession {
public:
    explicit TBackgroundSession(std::unique_ptr<TRemoteSession> session);
    ~TBackgroundSession() override;

    void Connect(const TSessionSettings &settings) override;
    void Close() override;
    void Disconnect() override;
    // As the last call left it: asking waits for no call.
    bool Connected() override { return FConnected; }
    void Settle(TSessionSettings &settings) override;
    bool Busy() const override { return FBusy; }
    std::string CurrentFolder() override;
    void EnterFolder(const std::string &folder) override;
    void EnterParentFolder() override;
    TFolderListing List(const TFolderListingLimits &limits, const std::function<void(TListingEntry &&)> &entry,
                        const std::function<void(std::string_view)> &line) override;
    bool ListsUnordered() const override { return FUnordered; }
    void MakeFolder(const std::string &name) override;
    void RemoveFolder(const std::string &name) override;
    void Delete(const std::string &name) override;
    void Rename(const std::string &from, const std::string &to) override;
    void ChangePermissions(const std::string &name, int mode) override;
    int64_t Size(const std::string &name) override;
    std::string ModificationTime(const std::string &name) override;
    bool SetModificationTime(const std::string &name, const std::string &time) override;
    void KeepAlive() override;
    // As the last call left it.
    int IdleHandle() override { return FIdleHandle; }
    void CheckIdle() override;
    void Get(const std::string &name, TStream &target, int64_t offset, int64_t size) override;
    void Put(TStream &source, const std::string &name, int64_t offset) override;
    void Append(TStream &source, const std::string &name) override;
    void Abort() override { FSession->Abort(); }
    void ClearAbort() override { FSession->ClearAbort(); }

private:
    // Runs `task` on the session's thread; returns when it has ended and
    // all it told has run here.
    void Run(const std::function<void()> &task);
    template <class T>
    T Ask(const std::function<T()> &question)
    {
        T answer{};
        Run([&] { answer = question(); });
        return answer;
    }
    // From the session's thread: runs on the caller's.
    void Tell(std::function<void()> call);
    // From the session's thread: runs on the caller's, and waits for it.
    void PutQuestion(std::function<void()> question);
    template <class T>
    T AskCaller(const std::function<T()> &question)
    {
        T answer{};
        std::exception_ptr failure;
        bool answered = false;
        PutQuestion([&] {
            try {
                answer = question();
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard lock(FMutex);
            answered = true;
            FChanged.notify_all();
        });
        std::unique_lock lock(FMutex);
        FChanged.wait(lock, [&] { return answered; });
        if (failure)
            std::rethrow_exception(failure);
        return answer;
    }
    // The caller's side: runs what was told (or, with `run` false, drops
    // it); false once the task ended.
    bool RunTold(bool run);
    void Wait();
    void Loop();

    std::unique_ptr<TRemoteSession> FSession;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::function<void()> FTask;
    bool FTaskDone = false, FStopping = false;
    std::exception_ptr FFailure;
    std::deque<std::function<void()>> FTold, FQuestions;
    // The caller's event loop, woken when something is told.
    class QAbstractEventDispatcher *FDispatcher = nullptr;
    std::atomic<bool> FBusy{false}, FConnected{false}, FUnordered{false};
    std::atomic<int> FIdleHandle{-1};
    // A disconnect asked for while a call ran: done once it ends.
    std::atomic<bool> FDisconnectPending{false};
    // Progress told and not yet shown: later figures replace it.
    std::atomic<int64_t> FProgress{-1};
    std::thread FThread;
};
