#include "SyncBrowsing.h"

#include "IdException.h"
#include "IdLocalPath.h"
#include "NameBytes.h"
#include "RemoteName.h"
#include "RemoteSession.h"
#include "RemoteView.h"
#include "Transfers.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QScopeGuard>

#include <sys/stat.h>

namespace {

// The steps below `base` ("a/b"), or none when `path` is not below it.
std::optional<std::string> Below(std::string base, std::string path)
{
    if (!base.ends_with('/'))
        base += '/';
    if (!path.ends_with('/'))
        path += '/';
    if (!path.starts_with(base))
        return std::nullopt;
    std::string rest = path.substr(base.size());
    if (!rest.empty())
        rest.pop_back();
    return rest;
}

// Each step of `steps` ("a/b") through `convert`.
template <class F>
std::string Converted(const std::string &steps, F &&convert)
{
    std::string result;
    size_t start = 0;
    while (start < steps.size()) {
        const size_t end = std::min(steps.find('/', start), steps.size());
        result += (result.empty() ? "" : "/") + convert(steps.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

}  // namespace

std::optional<std::string> TSyncBrowsing::RemoteFor(const std::string &localBase, const std::string &remoteBase,
                                                    const std::string &local)
{
    const auto steps = Below(localBase, local);
    if (!steps)
        return std::nullopt;
    const std::string remote = Converted(*steps, [](const std::string &step) { return RemoteNameFor(step); });
    return remote.empty() ? remoteBase : RemoteJoin(remoteBase, remote);
}

std::optional<std::string> TSyncBrowsing::LocalFor(const std::string &localBase, const std::string &remoteBase,
                                                   const std::string &remote)
{
    const auto steps = Below(remoteBase, remote);
    if (!steps)
        return std::nullopt;
    const std::string local = Converted(*steps, [](const std::string &step) { return LocalNameFor(step); });
    return LocalPath::WithSlash(localBase) + (local.empty() ? std::string() : local + '/');
}

TSyncBrowsing::TSyncBrowsing(TWindowServices &window, TRemoteSession &session, TRemoteView &remote,
                             TTransfers &transfers, QObject *parent)
    : QObject(parent), Toggle(new QAction("S&ynchronized Browsing", this)), FWindow(window), FSession(session),
      FRemote(remote), FTransfers(transfers)
{
    Toggle->setObjectName("actSyncBrowsing");
    Toggle->setCheckable(true);
    Toggle->setShortcut(QKeySequence("Ctrl+Y"));
    Toggle->setStatusTip("Open the same sub-folder on both sides as you browse either.");
    connect(Toggle, &QAction::toggled, this, [this](bool on) { SetOn(on); });
}

void TSyncBrowsing::SetOn(bool on)
{
    FOn = false;
    if (!on)
        return;
    FLocalBase = FLocalShown = FTransfers.LocalTargetFolder();
    FRemoteBase = FRemoteShown = FRemote.ListedFolder();
    if (!FWindow.Online() || FLocalBase.empty() || FRemoteBase.empty()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(),
                                  "Connect and choose a local folder first: browsing binds the two folders shown.");
        Toggle->setChecked(false);
        return;
    }
    FOn = true;
    FWindow.AddToLog("Synchronized browsing: " + TextFromBytes(FLocalBase) + " with " + RemoteDisplayName(FRemoteBase));
}

bool TSyncBrowsing::MakeOrEnd(const QString &where, const QString &folder)
{
    TChoiceQuestion question;
    question.Text = QStringLiteral("The folder %1 is not there %2. Make it, or stop synchronized browsing?").arg(folder, where);
    question.Answers = {"&Make It", "&Stop"};
    question.Default = 0;
    question.Escape = 1;
    if (UserDialogs().Choose(FWindow.DialogOwner(), question).Answer == 0)
        return true;
    Toggle->setChecked(false);
    return false;
}

void TSyncBrowsing::LocalChanged()
{
    const std::string local = FTransfers.LocalTargetFolder();
    if (!FOn || FFollowing || local.empty() || local == FLocalShown)
        return;
    FLocalShown = local;
    const auto remote = RemoteFor(FLocalBase, FRemoteBase, local);
    // Out of the bound folder: the binding has nothing to say there.
    if (!remote || *remote == FRemote.ListedFolder())
        return;
    FFollowing = true;
    const auto done = qScopeGuard([this] { FFollowing = false; });
    try {
        FRemote.ChangeFolder(*remote);
    } catch (const EIdProtocolReplyError &) {
        if (!MakeOrEnd("on the server", RemoteDisplayName(*remote)))
            return;
        FSession.MakeFolder(*remote);
        FRemote.ChangeFolder(*remote);
    }
    FRemoteShown = FRemote.ListedFolder();
}

void TSyncBrowsing::RemoteChanged()
{
    const std::string remote = FRemote.ListedFolder();
    if (!FOn || FFollowing || remote.empty() || remote == FRemoteShown)
        return;
    FRemoteShown = remote;
    const auto local = LocalFor(FLocalBase, FRemoteBase, remote);
    if (!local || *local == FTransfers.LocalTargetFolder())
        return;
    FFollowing = true;
    const auto done = qScopeGuard([this] { FFollowing = false; });
    if (!LocalPath::IsFolder(*local)) {
        if (!MakeOrEnd("here", TextFromBytes(*local)))
            return;
        if (::mkdir(local->c_str(), 0777) != 0)
            throw EFileStreamError("Cannot create the folder \"" + *local + "\".");
    }
    FTransfers.SelectLocalFolder(TextFromBytes(*local));
    FLocalShown = FTransfers.LocalTargetFolder();
}
