#include "Transfers.h"

#include "Application.h"
#include "CommonFunctions.h"
#include "FileListView.h"
#include "IDEEnhance.h"
#include "RemoteSession.h"
#include "IdLocalPath.h"
#include "RemoteName.h"
#include "RemoteView.h"
#include "SystemTreeView.h"
#include "TransferRunner.h"
#include "WindowServices.h"

#include <QApplication>
#include <QFile>
#include <QMimeData>
#include <QScopeGuard>
#include <QUrl>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
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

TTransferItem Download(const std::string &remoteFolder, const std::string &remoteName, const std::string &localPath)
{
    TTransferItem item;
    item.Direction = TTransferDirection::Download;
    item.RemoteFolder = remoteFolder;
    item.RemoteName = remoteName;
    item.LocalPath = localPath;
    return item;
}

std::vector<std::string> SelectedNames(const std::vector<TRemoteItem> &selected)
{
    std::vector<std::string> names;
    for (const TRemoteItem &item : selected)
        names.push_back(item.Name);
    return names;
}

}  // namespace

std::optional<std::string> TTransfers::ChooseFolder(const QString &title, const QString &initialDir)
{
    TFileDialog dialog;
    dialog.Kind = TFileDialog::TKind::Folder;
    dialog.Title = title;
    dialog.InitialDir = initialDir;
    if (!dialog.Execute(FWindow.DialogOwner()))
        return std::nullopt;
    return QFile::encodeName(dialog.FileName).toStdString();
}

TTransfers::TTransfers(TWindowServices &window, TRemoteSession &session, TRemoteView &remoteView, TTransferRunner &runner,
                       const TWidgets &widgets)
    : FWindow(window), FSession(session), FRemoteView(remoteView), FRunner(runner), W(widgets)
{
    UploadDialog.Kind = TFileDialog::TKind::Open;
    UploadDialog.MultiSelect = true;
    DownloadDialog.Kind = TFileDialog::TKind::Save;
    W.RemoteFiles->OnDragOver = [this](QObject *source, const QMimeData *data) {
        return FileListDragOver(source, data);
    };
    W.RemoteFiles->OnDragDrop = [this](QObject *source, const QMimeData *data) {
        Guarded([this, source, data] { FileListDragDrop(source, data); })();
    };
    W.LocalTree->OnChange = [this](TdfsSystemTreeView *, TTreeNode *) { TreeChanged(); };
    W.LocalTree->OnDragOver = [this](TdfsCustomSystemTreeView *, QObject *source, int, int, bool &accept) {
        accept = TreeDragOver(source);
    };
    W.LocalTree->OnDragDrop = [this](TdfsCustomSystemTreeView *, QObject *source, int, int, const QMimeData *) {
        Guarded([this, source] { TreeDragDrop(source); })();
    };
}

TTransfers::~TTransfers()
{
    W.RemoteFiles->OnDragOver = nullptr;
    W.RemoteFiles->OnDragDrop = nullptr;
    W.LocalTree->OnChange = nullptr;
    W.LocalTree->OnDragOver = nullptr;
    W.LocalTree->OnDragDrop = nullptr;
}

// ---- downloads ----------------------------------------------------------------------

std::string TTransfers::LocalTargetFolder() const
{
    std::string folder = W.LocalTree->SelectionBytes();
    // A file chosen in the tree stands for its folder.
    if (!folder.empty() && !IsFolder(folder))
        folder = FolderPart(folder);
    return !folder.empty() && IsFolder(folder) ? WithSlash(folder) : std::string();
}

void TTransfers::DownloadSelected()
{
    if (!FWindow.Online())
        return;
    // Into the local tree's folder, as a drag there would; the queue asks
    // before a file of the same name is replaced. Without one, the dialog.
    const std::string folder = LocalTargetFolder();
    if (folder.empty()) {
        DownloadSelectedAs();
        return;
    }
    if (FRemoteView.Focus() == TRemoteView::TFocus::Folders) {
        const std::optional<TRemoteItem> chosen = FRemoteView.SelectedFolder();
        if (chosen && IsLocalFileName(chosen->Name))
            DownloadFolderInto(folder, chosen->Name);
        return;
    }
    DownloadInto(folder, SelectedNames(FRemoteView.SelectedFiles()));
}

void TTransfers::DownloadSelectedAs()
{
    if (!FWindow.Online())
        return;
    if (FRemoteView.Focus() == TRemoteView::TFocus::Folders) {
        DownloadSelectedFolder();
        return;
    }
    const std::vector<TRemoteItem> selected = FRemoteView.SelectedFiles();
    if (selected.empty())
        return;
    // Many files keep their names: the question is only where they go.
    if (selected.size() > 1) {
        if (const auto into = ChooseFolder(QStringLiteral("Download %1 Files Into").arg(selected.size()),
                                           DownloadDialog.InitialDir))
            DownloadInto(WithSlash(*into), SelectedNames(selected));
        return;
    }
    // A name that could lead out of the chosen folder is not proposed.
    const std::string first = selected.front().Name;
    DownloadDialog.FileName = IsLocalFileName(first) ? selected.front().Caption : QString();
    if (!DownloadDialog.Execute(FWindow.DialogOwner()))
        return;
    // The one file may be saved under another name; the dialog has asked
    // before a file of that name is replaced.
    DownloadFile(first, QFile::encodeName(DownloadDialog.FileName).toStdString());
}

void TTransfers::DownloadSelectedFolder()
{
    const std::optional<TRemoteItem> folder = FRemoteView.SelectedFolder();
    if (!folder || !IsLocalFileName(folder->Name))
        return;
    if (const std::optional<std::string> into = ChooseFolder("Download Folder Into", DownloadDialog.InitialDir))
        DownloadFolderInto(WithSlash(*into), folder->Name);
}

void TTransfers::DownloadFolderInto(const std::string &localFolder, const std::string &name)
{
    TTransferItem item = Download(FRemoteView.ListedFolder(), name, localFolder + LocalNameFor(name));
    item.Folder = true;
    FRunner.Enqueue({item});
}

void TTransfers::DownloadInto(const std::string &folder, const std::vector<std::string> &names)
{
    std::vector<TTransferItem> items;
    for (const std::string &name : names) {
        if (!IsLocalFileName(name)) {
            FWindow.AddToLog(UnsafeNameSkipped(name));
            continue;
        }
        items.push_back(Download(FRemoteView.ListedFolder(), name, folder + LocalNameFor(name)));
    }
    FRunner.Enqueue(std::move(items));
}

void TTransfers::DownloadFile(const std::string &remoteName, const std::string &localPath)
{
    TTransferItem item = Download(FRemoteView.ListedFolder(), remoteName, localPath);
    item.Confirmed = true;
    FRunner.Enqueue({item});
}

// ---- uploads -----------------------------------------------------------------------

void TTransfers::UploadChosen()
{
    if (!FWindow.Online() || !UploadDialog.Execute(FWindow.DialogOwner()))
        return;
    UploadDialog.InitialDir = ExtractFilePath(UploadDialog.FileName);
    std::vector<std::string> paths;
    for (const QString &file : UploadDialog.Files)
        paths.push_back(QFile::encodeName(file).toStdString());
    UploadPaths(paths);
}

bool TTransfers::UploadFromLocalTree()
{
    if (QApplication::focusWidget() != W.LocalTree || !FWindow.Online())
        return false;
    const std::string path = W.LocalTree->SelectionBytes();
    const LocalPath::TKind kind = LocalPath::KindOf(path);
    if (path.empty() || (kind != LocalPath::TKind::File && kind != LocalPath::TKind::Folder))
        return false;
    UploadPaths({path});
    return true;
}

void TTransfers::UploadFolderChosen()
{
    if (!FWindow.Online())
        return;
    if (const std::optional<std::string> folder = ChooseFolder("Upload Folder", UploadDialog.InitialDir))
        UploadPaths({*folder});
}

void TTransfers::UploadPath(const std::string &path)
{
    UploadPaths({path});
}

void TTransfers::UploadPaths(const std::vector<std::string> &paths)
{
    std::vector<TTransferItem> items;
    for (const std::string &path : paths)
        CollectUploads(path, FRemoteView.ListedFolder(), items);
    if (FRemoteView.ListingCurrent()) {
        const auto listed = std::make_shared<const std::unordered_set<std::string>>(FRemoteView.ListedFiles());
        for (TTransferItem &item : items)
            if (item.RemoteFolder == FRemoteView.ListedFolder())
                item.Listed = listed;
    }
    FRunner.Enqueue(std::move(items));
}

void TTransfers::CollectUploads(const std::string &path, const std::string &remoteFolder,
                                std::vector<TTransferItem> &items)
{
    if (!IsFolder(path)) {
        TTransferItem item;
        item.Direction = TTransferDirection::Upload;
        item.LocalPath = path;
        item.RemoteFolder = remoteFolder;
        item.RemoteName = RemoteNameFor(NamePart(path));
        items.push_back(item);
        return;
    }
    if (UseIDEHooks())
        FWindow.AddToLog("Transfering directory: " + Text(path));
    CollectFolder(path, remoteFolder, items);
}

void TTransfers::CollectFolder(const std::string &path, const std::string &remoteFolder,
                               std::vector<TTransferItem> &items)
{
    std::string trimmed = Trim(path);
    if (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::string into = RemoteJoin(remoteFolder, RemoteNameFor(NamePart(trimmed)));
    DIR *folder = ::opendir(trimmed.c_str());
    if (!folder) {
        FWindow.AddToLog("Cannot open folder " + Text(trimmed));
        return;
    }
    const auto close = qScopeGuard([folder] { ::closedir(folder); });
    // The folder itself, so that an empty one is made too.
    TTransferItem made;
    made.Direction = TTransferDirection::Upload;
    made.Folder = true;
    made.LocalPath = trimmed;
    made.RemoteFolder = remoteFolder;
    made.RemoteName = RemoteNameFor(NamePart(trimmed));
    items.push_back(made);
    std::vector<std::string> children;
    while (const dirent *entry = ::readdir(folder))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            children.push_back(WithSlash(trimmed) + entry->d_name);
    std::sort(children.begin(), children.end());
    for (const std::string &child : children) {
        struct stat info {};
        const bool isFolder = ::stat(child.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (FRunner.Filters.Hides(Text(NamePart(child)), isFolder, isFolder ? -1 : int64_t(info.st_size)))
            FWindow.AddToLog("Not uploaded, hidden by filename filters: " + Text(child));
        // A link to a folder is not followed: a loop of them never ends.
        else if (IsLinkToFolder(child))
            FWindow.AddToLog("Skipped a link to a folder: " + Text(child));
        else
            CollectUploads(child, into, items);
    }
}

// ---- drags ------------------------------------------------------------------------------

bool TTransfers::FileListDragOver(QObject *source, const QMimeData *data)
{
    if (!FWindow.Online())
        return false;
    if (source == W.LocalTree)
        return true;
    // Files from the desktop's file manager.
    return !source && data && data->hasUrls() && !data->urls().isEmpty() && data->urls().front().isLocalFile();
}

void TTransfers::FileListDragDrop(QObject *source, const QMimeData *data)
{
    if (!FWindow.Online())
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
    UploadPaths(paths);
}

bool TTransfers::TreeDragOver(QObject *source)
{
    TTreeNode *target = W.LocalTree->DropTarget();
    // A caption with a dot is taken for a file: the tree shows files too.
    const bool remote = FRemoteView.IsFileList(source) || FRemoteView.IsFolderTree(source);
    return remote && target && !target->Text.contains('.') && FWindow.Online();
}

void TTransfers::TreeDragDrop(QObject *source)
{
    if (!FWindow.Online())
        return;
    std::string folder = W.LocalTree->GetNodePathBytes(W.LocalTree->DropTarget());
    // A place with no path of its own ("Computer") is no folder to write to.
    if (folder.empty())
        return;
    if (NamePart(folder).find('.') != std::string::npos && !IsFolder(folder))
        folder = FolderPart(folder);
    if (FRemoteView.IsFolderTree(source)) {
        const std::optional<TRemoteItem> dragged = FRemoteView.SelectedFolder();
        if (dragged && IsLocalFileName(dragged->Name))
            DownloadFolderInto(WithSlash(folder), dragged->Name);
        return;
    }
    DownloadInto(WithSlash(folder), SelectedNames(FRemoteView.SelectedFiles()));
}

void TTransfers::TreeChanged()
{
    // The dialogs open where the user is in the local tree.
    UploadDialog.InitialDir = W.LocalTree->Selection();
    DownloadDialog.InitialDir = W.LocalTree->Selection();
}

bool TTransfers::SelectLocalFolder(const QString &folder)
{
    const std::string wanted = WithSlash(QFile::encodeName(folder).toStdString());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            W.LocalTree->SetSelection(folder);
        } catch (const std::exception &) {
            return false;
        }
        if (attempt > 0 || WithSlash(W.LocalTree->SelectionBytes()) == wanted || !W.LocalTree->Selected())
            break;
        // A folder made a moment ago in the one shown: the tree reads that
        // one anew, and looks again.
        W.LocalTree->RefreshNode(W.LocalTree->Selected());
    }
    return true;
}
