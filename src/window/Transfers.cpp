#include "Transfers.h"

#include "CommonFunctions.h"
#include "FailureText.h"
#include "IDEEnhance.h"
#include "IdLocalPath.h"
#include "IdStream.h"
#include "IdFTP.h"
#include "RemoteName.h"
#include "RemoteView.h"
#include "StatusBar.h"
#include "SystemTreeView.h"
#include "WindowServices.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QProgressBar>
#include <QScopeGuard>
#include <QUrl>

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace {

using LocalPath::FolderPart;
using LocalPath::IsFile;
using LocalPath::IsFolder;
using LocalPath::NamePart;
using LocalPath::WithSlash;

bool IsLinkToFolder(const std::string &path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && IsFolder(path);
}

QString Text(const std::string &bytes)
{
    return TextFromBytes(bytes);
}

// The exact bytes of a local file URL's path.
std::string PathOfUrl(const QUrl &url)
{
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace

TTransfers::TTransfers(TWindowServices &window, TIdFTP &ftp, TRemoteView &remoteView, const TWidgets &widgets)
    : FWindow(window), FFtp(ftp), FRemoteView(remoteView), W(widgets)
{
    OpenDialog1.Kind = TFileDialog::TKind::Open;
    OpenDialog1.MultiSelect = true;
    SaveDialog1.Kind = TFileDialog::TKind::Save;
}

bool TTransfers::IsLocalFileName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// ---- downloads ----------------------------------------------------------------------

void TTransfers::DownloadSelected()
{
    if (!FFtp.Connected())
        return;
    const std::vector<TRemoteItem> selected = FRemoteView.SelectedFiles();
    if (selected.empty())
        return;
    // A name that could lead out of the chosen folder is not proposed.
    const std::string first = selected.front().Name;
    SaveDialog1.FileName = IsLocalFileName(first) ? selected.front().Caption : QString();
    if (!SaveDialog1.Execute(FWindow.DialogOwner()))
        return;
    const std::string chosen = QFile::encodeName(SaveDialog1.FileName).toStdString();
    if (selected.size() == 1) {
        // The one file may be saved under another name; the dialog has
        // asked before a file of that name is replaced.
        DownloadFile(first, chosen);
        return;
    }
    std::vector<std::string> names;
    for (const TRemoteItem &item : selected)
        names.push_back(item.Name);
    DownloadInto(WithSlash(FolderPart(chosen)), names);
}

void TTransfers::DownloadInto(const std::string &folder, const std::vector<std::string> &names)
{
    TOverwriteGuard guard([this](const TOverwriteQuestion &question) { return UserDialogs().AskOverwrite(FWindow.DialogOwner(), question); },
                          names.size() > 1);
    const QString place = "in " + Text(folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder);
    for (const std::string &name : names) {
        if (!IsLocalFileName(name)) {
            FWindow.AddToLog("Skipped \"" + RemoteDisplayName(name) + "\": it is not a name a local file can have.");
            continue;
        }
        const auto target =
            guard.Target(name, place, [&folder](const std::string &candidate) { return IsFile(folder + candidate); });
        if (!target) {
            FWindow.AddToLog("Skipped \"" + RemoteDisplayName(name) + "\": the local file of that name was kept.");
            continue;
        }
        DownloadFile(name, folder + *target);
    }
    if (names.size() > 1)
        FWindow.AddToLog("Transfer of selected files complete.");
}

template <typename Move>
void TTransfers::Transfer(const QString &what, const QString &name, const QString &keptOutcome, Move move)
{
    FFileTransfer = true;
    try {
        move();
    } catch (...) {
        FFileTransfer = false;
        const std::exception_ptr error = std::current_exception();
        // The user's own Disconnect or close: said in the log, no box.
        if (FWindow.DisconnectRequested()) {
            FWindow.AddToLog(QStringLiteral("%1 of %2 was stopped by the disconnect.").arg(what, name) +
                       (keptOutcome.isEmpty() ? QString() : ' ' + keptOutcome));
            throw EAbort();
        }
        const QString text = TransferFailureText(what, name, error, keptOutcome);
        FWindow.AddToLog(text);
        throw ETransferFailed(text);
    }
    FFileTransfer = false;
    FWindow.AddToLog("Transfer Complete.");
}

void TTransfers::DownloadFile(const std::string &remoteName, const std::string &localPath)
{
    FFtp.SetTransferType(ftBinary);
    SizePreset = true;
    // An unknown size shows as the unsigned 32-bit form of -1.
    const int64_t size = FFtp.Size(remoteName);
    ExpectedSize = size < 0 ? int64_t(4294967295) : size;
    if (UseIDEHooks())
        FWindow.AddToLog("Binary Transfer Started: \r\n    Source:      " + RemoteDisplayName(remoteName) + "\r\n" +
                   "    Destination: " + Text(localPath) + "\r\n" + "    File Size:   " +
                   QString::number(ExpectedSize));
    else
        FWindow.AddToLog("Transfer Started: " + RemoteDisplayName(remoteName));
    // A failed download leaves an existing file as it was.
    const QString kept = IsFile(localPath) ? QStringLiteral("The existing local file was kept.") : QString();
    Transfer("Download", RemoteDisplayName(remoteName), kept,
             [&] { FFtp.Get(remoteName, localPath, true); });
}

// ---- uploads -----------------------------------------------------------------------

TOverwriteGuard &TTransfers::Guard()
{
    if (!FGuard)
        FGuard.emplace([this](const TOverwriteQuestion &question) { return UserDialogs().AskOverwrite(FWindow.DialogOwner(), question); },
                       false);
    return *FGuard;
}

template <typename Upload>
void TTransfers::UploadAndRefresh(bool several, Upload upload)
{
    FGuard.emplace([this](const TOverwriteQuestion &question) { return UserDialogs().AskOverwrite(FWindow.DialogOwner(), question); },
                   several);
    std::exception_ptr failure;
    try {
        upload();
    } catch (...) {
        failure = std::current_exception();
    }
    FGuard.reset();
    // The remote view shows what arrived, whatever happened; the first
    // error is the one reported. Offline there is nothing to show.
    try {
        if (FFtp.Connected())
            FRemoteView.ChangeFolder(FFtp.QueryCurrentFolder());
    } catch (...) {
        if (!failure)
            throw;
    }
    if (failure)
        std::rethrow_exception(failure);
}

void TTransfers::UploadChosen()
{
    if (!FFtp.Connected() || !OpenDialog1.Execute(FWindow.DialogOwner()))
        return;
    OpenDialog1.InitialDir = ExtractFilePath(OpenDialog1.FileName);
    UploadAndRefresh(OpenDialog1.Files.size() > 1, [this] {
        for (const QString &file : OpenDialog1.Files) {
            FFtp.SetTransferType(ftBinary);
            UploadPath(QFile::encodeName(file).toStdString());
        }
    });
}

bool TTransfers::RemoteFileExists(const std::string &name)
{
    // The listing answers without a round trip while it shows the folder
    // the upload goes to.
    if (FRemoteView.ListingCurrent())
        return FRemoteView.ListsFile(name);
    return FFtp.Size(name) >= 0;
}

void TTransfers::UploadPath(const std::string &path)
{
    if (!IsFolder(path)) {
        UploadFile(path);
        return;
    }
    FWindow.AddToLog("Transfering directory: " + Text(path));
    if (!UseIDEHooks()) {
        FWindow.AddToLog("Currently unabled to transfer directories...");
        FWindow.AddToLog("This feature to be released in an upcomming version.");
        return;
    }
    UploadFolder(path);
}

void TTransfers::UploadFile(const std::string &path)
{
    const std::string name = NamePart(path);
    const QString place = FRemoteView.ListingCurrent() ? "on the server in " + FRemoteView.FolderText()
                                                        : QStringLiteral("on the server");
    const auto target = Guard().Target(name, place, [this](const std::string &candidate) {
        return RemoteFileExists(candidate);
    });
    if (!target) {
        FWindow.AddToLog("Skipped \"" + Text(name) + "\": the file of that name on the server was kept.");
        return;
    }
    FWindow.AddToLog("Transfer Started: " + Text(name));
    Transfer("Upload", Text(name), QString(), [&] { FFtp.Put(path, *target, false); });
    FRemoteView.NoteFile(*target);
}

void TTransfers::UploadFolder(const std::string &path)
{
    std::string trimmed = Trim(path);
    if (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::string folderName = NamePart(trimmed);
    try {
        FFtp.CreateFolder(folderName);
    } catch (const std::exception &) {
        // It may be there already; the change into it tells.
    }
    FRemoteView.ChangeFolder(folderName);
    std::exception_ptr failure;
    try {
        DIR *folder = ::opendir(trimmed.c_str());
        if (!folder)
            throw EFileStreamError("Cannot open folder " + trimmed);
        const auto close = qScopeGuard([folder] { ::closedir(folder); });
        while (const dirent *entry = ::readdir(folder)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            const std::string child = WithSlash(trimmed) + entry->d_name;
            // A link to a folder is not followed: a loop of them never ends.
            if (IsLinkToFolder(child)) {
                FWindow.AddToLog("Skipped a link to a folder: " + Text(child));
                continue;
            }
            FFtp.SetTransferType(ftBinary);
            UploadPath(child);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    // Back where the call began, whatever happened; the view still shows
    // the folder just filled.
    FRemoteView.ListingLeft();
    try {
        FFtp.EnterParentFolder();
    } catch (...) {
        if (!failure)
            throw;
    }
    if (failure)
        std::rethrow_exception(failure);
}

// ---- drags ------------------------------------------------------------------------------

bool TTransfers::FileListDragOver(QObject *source, const QMimeData *data)
{
    if (!FFtp.Connected())
        return false;
    if (source == W.LocalTree)
        return true;
    // Files from the desktop's file manager.
    return !source && data && data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile();
}

void TTransfers::FileListDragDrop(QObject *source, const QMimeData *data)
{
    if (!FFtp.Connected())
        return;
    std::vector<std::string> paths;
    if (source == W.LocalTree) {
        paths.push_back(W.LocalTree->SelectionBytes());
    } else if (!source && data) {
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                paths.push_back(PathOfUrl(url));
    }
    if (paths.empty() || paths.front().empty())
        return;
    UploadAndRefresh(paths.size() > 1 || IsFolder(paths.front()), [this, &paths] {
        for (const std::string &path : paths) {
            FFtp.SetTransferType(ftBinary);
            UploadPath(path);
        }
    });
}

bool TTransfers::TreeDragOver(QObject *source)
{
    TTreeNode *target = W.LocalTree->DropTarget();
    // A caption with a dot is taken for a file: the tree shows files too.
    return FRemoteView.IsFileList(source) && target && !target->Text.contains('.') && FFtp.Connected();
}

void TTransfers::TreeDragDrop()
{
    if (!FFtp.Connected())
        return;
    std::string folder = W.LocalTree->GetNodePathBytes(W.LocalTree->DropTarget());
    // A place with no path of its own ("Computer") is no folder to write to.
    if (folder.empty())
        return;
    if (NamePart(folder).find('.') != std::string::npos && !IsFolder(folder))
        folder = FolderPart(folder);
    std::vector<std::string> names;
    for (const TRemoteItem &item : FRemoteView.SelectedFiles())
        names.push_back(item.Name);
    DownloadInto(WithSlash(folder), names);
}

void TTransfers::TreeChanged()
{
    // The dialogs open where the user is in the local tree.
    OpenDialog1.InitialDir = W.LocalTree->Selection();
    SaveDialog1.InitialDir = W.LocalTree->Selection();
}

bool TTransfers::SelectLocalFolder(const QString &folder)
{
    try {
        W.LocalTree->SetSelection(folder);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// ---- progress ---------------------------------------------------------------------------

void TTransfers::WorkBegin(TWorkMode, int64_t countMax)
{
    FWindow.SetBusyCursor(true);
    FWorkStart.start();
    FLastShown = -1;
    FWorkUnshown = false;
    if (!SizePreset && countMax > 0)
        ExpectedSize = countMax;
    SizePreset = false;
    FWindow.SetActionsEnabled(false);
}

void TTransfers::Work(TWorkMode mode, int64_t count)
{
    FWorkMode = mode;
    FWorkCount = count;

    // The panel and the bar change a few dozen times a second at most: a
    // repaint per 32 KiB block would cost more than the transfer itself.
    if (FLastShown >= 0 && FWorkStart.elapsed() - FLastShown < 40) {
        FWorkUnshown = true;
        return;
    }
    ShowWork();
    QCoreApplication::processEvents();
}

void TTransfers::ShowWork()
{
    FWorkUnshown = false;
    FLastShown = FWorkStart.elapsed();
    const double elapsed = double(FLastShown) / 1000.0;
    const double rate = elapsed > 0 ? double(FWorkCount) / 1024.0 / elapsed : 0.0;
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString speed = locale.toString(rate, 'f', 2) + " KB/s";
    // A listing is no download: the panel keeps the last file's speed.
    if (FFileTransfer)
        SetPanelText(W.SpeedPanel, (FWorkMode == wdReceive ? "Download speed " : "Uploade speed ") + speed);
    if (FWorkCount > 0 && ExpectedSize != 0)
        W.Progress->setValue(int(double(FWorkCount) / double(ExpectedSize) * 100.0));
}

void TTransfers::WorkEnd(TWorkMode)
{
    // The speed panel keeps the last figure. Whether the transfer
    // succeeded, only the server's final reply tells: its caller says so.
    if (FWorkUnshown)
        ShowWork();
    FWindow.SetBusyCursor(false);
    W.Progress->setValue(0);
    FWindow.SetActionsEnabled(true);
}

void TTransfers::ResetDisplay()
{
    FWorkMode = wdReceive;
    FWorkCount = 0;
    W.Progress->setValue(0);
    QLocale locale = QLocale::system();
    SetPanelText(W.SpeedPanel, "Download speed " + locale.toString(0.0, 'f', 2) + " KB/s");
}
