#include "EditInPlace.h"

#include "FileTimes.h"
#include "LineEnds.h"
#include "SpeedLimit.h"
#include "IdLocalPath.h"
#include "IdStream.h"
#include "NameBytes.h"
#include "RemoteName.h"
#include "RemoteSession.h"
#include "RemoteView.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QUrl>

#include <sys/stat.h>

namespace {

int64_t SizeOf(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

}  // namespace

TEditInPlace::TEditInPlace(TWindowServices &window, TRemoteSession &session, TRemoteView &view, TMoves moves,
                           QObject *parent)
    : QObject(parent), Edit(new QAction("&View/Edit", this)), FWindow(window), FSession(session), FView(view),
      FMoves(std::move(moves))
{
    Edit->setObjectName("actEdit");
    Edit->setShortcut(QKeySequence(Qt::Key_F4));
    Edit->setStatusTip("Open the chosen file in its application; a save uploads it back.");
    Edit->setEnabled(false);
    // Editors that save by writing a new file and renaming it end the
    // file's watch: the folder's tells of them.
    connect(&FWatcher, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) { Changed(path); });
    connect(&FWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        for (const auto &[local, copy] : FCopies)
            Changed(QString::fromLocal8Bit(local));
    });
}

void TEditInPlace::EditSelected()
{
    if (!FWindow.Online())
        return;
    const std::vector<TRemoteItem> chosen = FView.SelectedFiles();
    if (chosen.size() != 1 || FView.Focus() == TRemoteView::TFocus::Folders) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(), "Choose one file in the list to view or edit.");
        return;
    }
    Open(FView.ListedFolder(), chosen.front().Name, -1);
}

template <class F>
void TEditInPlace::InFolder(const std::string &folder, F &&call)
{
    const std::string listed = FView.ListedFolder();
    if (folder != listed)
        FSession.EnterFolder(folder);
    call();
    if (folder != listed)
        FSession.EnterFolder(listed);
}

QString TEditInPlace::Folder() const
{
    return FDir ? FDir->path() : QString();
}

void TEditInPlace::Open(const std::string &folder, const std::string &name, int64_t size)
{
    // Made at the first file, not at every start: the folder goes with
    // this object.
    if (!FDir)
        FDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/veldra-edit-XXXXXX");
    if (!FDir->isValid())
        throw EFileStreamError("Cannot make a private folder for the files being edited.");
    // A folder of its own for each remote folder: two files of one name
    // from two folders are two copies.
    const std::string place = FDir->path().toStdString() + '/' + std::to_string(std::hash<std::string>()(folder));
    ::mkdir(place.c_str(), 0700);
    const std::string local = place + '/' + LocalNameFor(name);
    TCopy copy;
    copy.Folder = folder;
    copy.Name = name;
    FWatcher.removePath(QString::fromLocal8Bit(local));
    InFolder(folder, [&] {
        copy.ServerSize = FSession.Size(name);
        copy.ServerTime = FSession.ModificationTime(name);
        if (AsText(name)) {
            TSpeedLimit unlimited;
            GetText(FSession, name, local, unlimited, FNeverStop);
        } else {
            TFileStream file(local, TFileStream::fmCreate);
            FSession.Get(name, file, 0, size >= 0 ? size : copy.ServerSize);
        }
        if (FMoves.KeepTimes && FMoves.KeepTimes())
            TFileTimes().Downloaded(FSession, name, copy.ServerTime, local);
    });
    // Private: the copy may hold what only its owner may read.
    ::chmod(local.c_str(), 0600);
    copy.Seconds = LocalFileSeconds(local);
    copy.Size = SizeOf(local);
    FCopies[local] = copy;
    FWatcher.addPath(QString::fromLocal8Bit(local));
    FWatcher.addPath(QString::fromLocal8Bit(place));
    const QString file = QString::fromLocal8Bit(local);
    QStringList command = QProcess::splitCommand(EditorCommand);
    const bool opened = command.isEmpty() ? QDesktopServices::openUrl(QUrl::fromLocalFile(file))
                                          : QProcess::startDetached(command.takeFirst(), command << file);
    FWindow.AddToLog(opened ? "Opened " + RemoteDisplayName(RemoteJoin(folder, name)) + " to edit: a save uploads it back."
                            : "No program opened " + file + ".");
}

void TEditInPlace::Changed(const QString &path)
{
    const std::string local = path.toLocal8Bit().toStdString();
    if (FCopies.count(local) == 0)
        return;
    // A file written anew (renamed over) is watched anew.
    if (!FWatcher.files().contains(path) && QFile::exists(path))
        FWatcher.addPath(path);
    QTimer *&timer = FSettling[local];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setInterval(SettleTime);
        connect(timer, &QTimer::timeout, this, [this, local] { Check(local); });
    }
    timer->start();
}

void TEditInPlace::Check(const std::string &local)
{
    const auto found = FCopies.find(local);
    if (found == FCopies.end() || found->second.Asking)
        return;
    TCopy &copy = found->second;
    const int64_t seconds = LocalFileSeconds(local), size = SizeOf(local);
    if (size < 0 || (seconds == copy.Seconds && size == copy.Size))
        return;
    copy.Seconds = seconds;
    copy.Size = size;
    copy.Saved = true;
    if (!FWindow.Online() || FSession.Busy()) {
        // Asked again once the connection is free.
        QTimer::singleShot(1000, this, [this, local] {
            if (FCopies.count(local))
                FCopies[local].Seconds = -1;
            Check(local);
        });
        return;
    }
    copy.Asking = true;
    const auto unask = qScopeGuard([this, local] {
        if (FCopies.count(local))
            FCopies[local].Asking = false;
    });
    const QString caption = RemoteDisplayName(RemoteJoin(copy.Folder, copy.Name));
    if (!UserDialogs().Confirm(FWindow.DialogOwner(), QStringLiteral("%1 was saved. Upload it to the server?").arg(caption)))
        return;
    Upload(local, copy);
}

void TEditInPlace::Upload(const std::string &local, TCopy &copy)
{
    const QString caption = RemoteDisplayName(RemoteJoin(copy.Folder, copy.Name));
    InFolder(copy.Folder, [&] {
        const std::string time = FSession.ModificationTime(copy.Name);
        const int64_t size = FSession.Size(copy.Name);
        if ((time != copy.ServerTime || size != copy.ServerSize) &&
            !UserDialogs().Confirm(FWindow.DialogOwner(),
                                   QStringLiteral("The server's copy of %1 changed since it was opened. Replace it "
                                                  "with yours?")
                                       .arg(caption)))
            return;
        if (AsText(copy.Name)) {
            TSpeedLimit unlimited;
            PutText(FSession, local, copy.Name, unlimited, FNeverStop);
        } else {
            TFileStream file(local, TFileStream::fmOpenRead);
            FSession.Put(file, copy.Name, 0);
        }
        if (FMoves.KeepTimes && FMoves.KeepTimes())
            TFileTimes().Uploaded(FSession, local, copy.Name);
        copy.ServerTime = FSession.ModificationTime(copy.Name);
        copy.ServerSize = FSession.Size(copy.Name);
        copy.Saved = false;
        FWindow.AddToLog("Uploaded " + caption + " as it was saved.");
    });
    FView.RefreshIfFree();
}

bool TEditInPlace::AsText(const std::string &name) const
{
    return FMoves.AsText && FMoves.AsText(LocalNameFor(name));
}

bool TEditInPlace::MayClose()
{
    QStringList unsaved;
    for (const auto &[local, copy] : FCopies) {
        // A save the watch has not told yet counts too.
        if (copy.Saved || LocalFileSeconds(local) != copy.Seconds || SizeOf(local) != copy.Size)
            unsaved << RemoteDisplayName(RemoteJoin(copy.Folder, copy.Name));
    }
    if (!unsaved.isEmpty() &&
        !UserDialogs().Confirm(FWindow.DialogOwner(),
                               QStringLiteral("Edited files were not uploaded: %1. Close anyway, and lose the edits?")
                                   .arg(unsaved.join(", "))))
        return false;
    return true;
}
