#include "BrowsingSession.h"

#include "BackgroundSession.h"
#include "IdScopeGuard.h"
#include "SessionSettings.h"

TBrowsingSession::TBrowsingSession(TRemoteSession &ftp, TSessionMaker make)
    : FFtp(ftp), FMake(std::move(make)), FCurrent(&ftp)
{
    Wire(FFtp);
}

TBrowsingSession::~TBrowsingSession() = default;

void TBrowsingSession::Wire(TRemoteSession &session)
{
    session.OnProgress = [this](int64_t bytes) {
        if (OnProgress)
            OnProgress(bytes);
    };
    session.OnNotice = [this](const std::string &line) {
        if (OnNotice)
            OnNotice(line);
    };
    session.OnStatus = [this](const std::string &line) {
        if (OnStatus)
            OnStatus(line);
    };
    session.OnHostKey = [this](const THostKeyQuestion &question) {
        return OnHostKey ? OnHostKey(question) : TTrustAnswer::Cancel;
    };
    session.OnPrompt = [this](const TLoginPrompt &prompt, std::string &answer) {
        return OnPrompt && OnPrompt(prompt, answer);
    };
}

template <class F>
auto TBrowsingSession::Watched(F &&call) -> decltype(call())
{
    ++FUses;
    // Told after the call has unwound, whichever way it ended.
    const auto tell = IdScopeExit([this] {
        if (FCurrent == FOther.get() && FOtherOpen && !FOther->Connected() && !FOther->Busy()) {
            FOtherOpen = false;
            if (OnClosed)
                OnClosed();
        }
    });
    return call();
}

template <class F>
auto TBrowsingSession::Used(F &&call) -> decltype(call())
{
    if (Revive && !Current().Connected() && !Current().Busy())
        Revive();
    return Watched(std::forward<F>(call));
}

void TBrowsingSession::CheckIdle()
{
    Watched([&] { Current().CheckIdle(); });
}

void TBrowsingSession::Connect(const TSessionSettings &settings)
{
    if (FOther && FOther->Connected())
        Disconnect();
    const TProtocol *protocol = ProtocolOf(settings.Protocol);
    if (!protocol || !protocol->Ssh) {
        FCurrent = &FFtp;
        FFtp.Connect(settings);
        return;
    }
    FOther = std::make_unique<TBackgroundSession>(FMake(settings));
    Wire(*FOther);
    FCurrent = FOther.get();
    FOther->Connect(settings);
    FOtherOpen = true;
}

void TBrowsingSession::Close()
{
    Watched([&] { Current().Close(); });
}

void TBrowsingSession::Disconnect()
{
    Watched([&] { Current().Disconnect(); });
}

std::string TBrowsingSession::CurrentFolder()
{
    return Current().CurrentFolder();
}

void TBrowsingSession::EnterFolder(const std::string &folder)
{
    Used([&] { Current().EnterFolder(folder); });
}

void TBrowsingSession::EnterParentFolder()
{
    Used([&] { Current().EnterParentFolder(); });
}

TFolderListing TBrowsingSession::List(const TFolderListingLimits &limits,
                                      const std::function<void(TListingEntry &&)> &entry,
                                      const std::function<void(std::string_view)> &line)
{
    return Used([&] { return Current().List(limits, entry, line); });
}

void TBrowsingSession::MakeFolder(const std::string &name)
{
    Used([&] { Current().MakeFolder(name); });
}

void TBrowsingSession::RemoveFolder(const std::string &name)
{
    Used([&] { Current().RemoveFolder(name); });
}

void TBrowsingSession::Delete(const std::string &name)
{
    Used([&] { Current().Delete(name); });
}

void TBrowsingSession::Rename(const std::string &from, const std::string &to)
{
    Used([&] { Current().Rename(from, to); });
}

void TBrowsingSession::ChangePermissions(const std::string &name, int mode)
{
    Used([&] { Current().ChangePermissions(name, mode); });
}

int64_t TBrowsingSession::Size(const std::string &name)
{
    return Used([&] { return Current().Size(name); });
}

std::string TBrowsingSession::ModificationTime(const std::string &name)
{
    return Used([&] { return Current().ModificationTime(name); });
}

void TBrowsingSession::Prefetch(TFact fact, const std::string &name)
{
    Used([&] { Current().Prefetch(fact, name); });
}

bool TBrowsingSession::SetModificationTime(const std::string &name, const std::string &time)
{
    return Used([&] { return Current().SetModificationTime(name, time); });
}

void TBrowsingSession::KeepAlive()
{
    Watched([&] { Current().KeepAlive(); });
}

void TBrowsingSession::Get(const std::string &name, TStream &target, int64_t offset, int64_t size)
{
    Used([&] { Current().Get(name, target, offset, size); });
}

void TBrowsingSession::Put(TStream &source, const std::string &name, int64_t offset)
{
    Used([&] { Current().Put(source, name, offset); });
}

void TBrowsingSession::Append(TStream &source, const std::string &name)
{
    Used([&] { Current().Append(source, name); });
}
