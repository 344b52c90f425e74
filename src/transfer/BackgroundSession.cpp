#include "BackgroundSession.h"

#include "IdException.h"

#include <QAbstractEventDispatcher>
#include <QScopeGuard>

TBackgroundSession::TBackgroundSession(std::unique_ptr<TRemoteSession> session) : FSession(std::move(session))
{
    FSession->OnProgress = [this](int64_t bytes) {
        if (FProgress.exchange(bytes) < 0)
            Tell([this] {
                const int64_t latest = FProgress.exchange(-1);
                if (latest >= 0 && OnProgress)
                    OnProgress(latest);
            });
    };
    FSession->OnNotice = [this](const std::string &line) {
        Tell([this, line] {
            if (OnNotice)
                OnNotice(line);
        });
    };
    FSession->OnStatus = [this](const std::string &line) {
        Tell([this, line] {
            if (OnStatus)
                OnStatus(line);
        });
    };
    // The user's word is asked on the caller's thread, while the call waits.
    FSession->OnHostKey = [this](const THostKeyQuestion &question) {
        return AskCaller<TTrustAnswer>([&] { return OnHostKey ? OnHostKey(question) : TTrustAnswer::Cancel; });
    };
    FSession->OnPrompt = [this](const TLoginPrompt &prompt, std::string &answer) {
        return AskCaller<bool>([&] { return OnPrompt && OnPrompt(prompt, answer); });
    };
    FThread = std::thread([this] { Loop(); });
}

TBackgroundSession::~TBackgroundSession()
{
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FChanged.notify_all();
    FThread.join();
}

void TBackgroundSession::Loop()
{
    std::unique_lock lock(FMutex);
    for (;;) {
        FChanged.wait(lock, [this] { return FTask || FStopping; });
        if (FStopping)
            return;
        const std::function<void()> task = std::exchange(FTask, nullptr);
        lock.unlock();
        std::exception_ptr failure;
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        if (FDisconnectPending.exchange(false))
            FSession->Disconnect();
        FConnected = FSession->Connected();
        FUnordered = FSession->ListsUnordered();
        FIdleHandle = FSession->IdleHandle();
        lock.lock();
        FFailure = failure;
        FTaskDone = true;
        if (FDispatcher)
            FDispatcher->wakeUp();
        FChanged.notify_all();
    }
}

void TBackgroundSession::Tell(std::function<void()> call)
{
    std::lock_guard lock(FMutex);
    // The caller runs all that waits once woken: one wake-up for a run.
    const bool wake = FTold.empty();
    FTold.push_back(std::move(call));
    if (!wake)
        return;
    if (FDispatcher)
        FDispatcher->wakeUp();
    FChanged.notify_all();
}

void TBackgroundSession::PutQuestion(std::function<void()> question)
{
    {
        std::lock_guard lock(FMutex);
        FQuestions.push_back(std::move(question));
        if (FDispatcher)
            FDispatcher->wakeUp();
    }
    FChanged.notify_all();
}

bool TBackgroundSession::RunTold(bool run)
{
    std::deque<std::function<void()>> told, questions;
    bool done = false;
    {
        std::lock_guard lock(FMutex);
        told.swap(FTold);
        questions.swap(FQuestions);
        done = FTaskDone;
    }
    if (run)
        for (const std::function<void()> &call : told)
            call();
    // Asked always: the session's thread waits for the answer.
    for (const std::function<void()> &question : questions)
        question();
    return !done;
}

void TBackgroundSession::Wait()
{
    if (FDispatcher) {
        // The window's events meanwhile; a wake-up from the session's
        // thread ends the wait.
        FDispatcher->processEvents(QEventLoop::WaitForMoreEvents);
        return;
    }
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [this] { return FTaskDone || !FTold.empty() || !FQuestions.empty(); });
}

void TBackgroundSession::Run(const std::function<void()> &task)
{
    if (FBusy.exchange(true))
        throw EIdFTPBusy("Busy: another command is in progress.");
    const auto free = qScopeGuard([this] { FBusy = false; });
    // An abort asked for before this call (a listing's reader that stopped
    // it as it ended) is for no one: it would end this call's first wait.
    FSession->ClearAbort();
    {
        std::lock_guard lock(FMutex);
        FDispatcher = QAbstractEventDispatcher::instance();
        FTaskDone = false;
        FFailure = nullptr;
        FTask = task;
    }
    FChanged.notify_all();
    // A call told that fails (a listing's reader that stops it) ends the
    // task, and what it tells after goes unheard; the task's own ending is
    // waited for all the same, as what it tells refers to the caller's
    // frame.
    std::exception_ptr toldFailure;
    for (;;) {
        bool more = true;
        try {
            more = RunTold(!toldFailure);
        } catch (...) {
            toldFailure = std::current_exception();
            FSession->Abort();
            std::lock_guard lock(FMutex);
            more = !FTaskDone;
        }
        if (!more)
            break;
        Wait();
    }
    if (toldFailure)
        std::rethrow_exception(toldFailure);
    if (FFailure)
        std::rethrow_exception(std::exchange(FFailure, nullptr));
}

void TBackgroundSession::Settle(TSessionSettings &settings)
{
    Run([&] { FSession->Settle(settings); });
}

void TBackgroundSession::Connect(const TSessionSettings &settings)
{
    Run([&] { FSession->Connect(settings); });
}

void TBackgroundSession::Close()
{
    Run([&] { FSession->Close(); });
}

void TBackgroundSession::Disconnect()
{
    // The user's disconnect ends a call that waits, too: the call is
    // stopped, and the connection goes as soon as it has.
    if (FBusy) {
        FDisconnectPending = true;
        FSession->Abort();
        return;
    }
    Run([&] { FSession->Disconnect(); });
}

std::string TBackgroundSession::CurrentFolder()
{
    return Ask<std::string>([&] { return FSession->CurrentFolder(); });
}

void TBackgroundSession::EnterFolder(const std::string &folder)
{
    Run([&] { FSession->EnterFolder(folder); });
}

void TBackgroundSession::EnterParentFolder()
{
    Run([&] { FSession->EnterParentFolder(); });
}

TFolderListing TBackgroundSession::List(const TFolderListingLimits &limits,
                                        const std::function<void(TListingEntry &&)> &entry,
                                        const std::function<void(std::string_view)> &line)
{
    std::function<void(std::string_view)> toldLine;
    if (line)
        toldLine = [this, &line](std::string_view text) { Tell([&line, copy = std::string(text)] { line(copy); }); };
    return Ask<TFolderListing>([&] {
        return FSession->List(
            limits,
            [this, &entry](TListingEntry &&each) {
                Tell([&entry, each = std::move(each)]() mutable { entry(std::move(each)); });
            },
            toldLine);
    });
}

void TBackgroundSession::MakeFolder(const std::string &name)
{
    Run([&] { FSession->MakeFolder(name); });
}

void TBackgroundSession::RemoveFolder(const std::string &name)
{
    Run([&] { FSession->RemoveFolder(name); });
}

void TBackgroundSession::Delete(const std::string &name)
{
    Run([&] { FSession->Delete(name); });
}

void TBackgroundSession::Rename(const std::string &from, const std::string &to)
{
    Run([&] { FSession->Rename(from, to); });
}

void TBackgroundSession::ChangePermissions(const std::string &name, int mode)
{
    Run([&] { FSession->ChangePermissions(name, mode); });
}

int64_t TBackgroundSession::Size(const std::string &name)
{
    return Ask<int64_t>([&] { return FSession->Size(name); });
}

std::string TBackgroundSession::ModificationTime(const std::string &name)
{
    return Ask<std::string>([&] { return FSession->ModificationTime(name); });
}

bool TBackgroundSession::SetModificationTime(const std::string &name, const std::string &time)
{
    return Ask<bool>([&] { return FSession->SetModificationTime(name, time); });
}

void TBackgroundSession::CheckIdle()
{
    Run([&] { FSession->CheckIdle(); });
}

void TBackgroundSession::KeepAlive()
{
    Run([&] { FSession->KeepAlive(); });
}

void TBackgroundSession::Get(const std::string &name, TStream &target, int64_t offset, int64_t size)
{
    Run([&] { FSession->Get(name, target, offset, size); });
}

void TBackgroundSession::Put(TStream &source, const std::string &name, int64_t offset)
{
    Run([&] { FSession->Put(source, name, offset); });
}

void TBackgroundSession::Append(TStream &source, const std::string &name)
{
    Run([&] { FSession->Append(source, name); });
}
