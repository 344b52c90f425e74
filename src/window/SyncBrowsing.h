// Synchronized browsing: the local and the remote folder bound as they
// were when it was turned on, so that opening a sub-folder or going up
// on one side does the same on the other. A folder the other side lacks
// is made there at the user's word, or the binding ends.
#pragma once

#include <QObject>

#include <optional>
#include <string>

class QAction;
class TRemoteSession;
class TRemoteView;
class TTransfers;
class TWindowServices;

class TSyncBrowsing : public QObject {
public:
    TSyncBrowsing(TWindowServices &window, TRemoteSession &session, TRemoteView &remote, TTransfers &transfers,
                  QObject *parent);

    // The View menu's toggle (Ctrl+Y).
    QAction *const Toggle;
    bool On() const { return FOn; }

    // The local tree chose another folder; the remote views listed one.
    void LocalChanged();
    void RemoteChanged();

    // The other side's folder for a folder below one side's base, or none
    // for a folder outside it. Local folders end with a slash; remote
    // names are as the server has them, each step in the local charset
    // and back.
    static std::optional<std::string> RemoteFor(const std::string &localBase, const std::string &remoteBase,
                                                const std::string &local);
    static std::optional<std::string> LocalFor(const std::string &localBase, const std::string &remoteBase,
                                               const std::string &remote);

private:
    void SetOn(bool on);
    // The folder is not on the other side: made (true), or the binding
    // ends.
    bool MakeOrEnd(const QString &where, const QString &folder);

    TWindowServices &FWindow;
    TRemoteSession &FSession;
    TRemoteView &FRemote;
    TTransfers &FTransfers;
    bool FOn = false;
    // The pair bound; what each side showed when last followed.
    std::string FLocalBase, FRemoteBase, FLocalShown, FRemoteShown;
    // One side follows the other: what that changes is no news.
    bool FFollowing = false;
};
