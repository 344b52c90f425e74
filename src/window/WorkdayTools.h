// The tools beside moving files: the folder comparison (View menu), the
// remote items' permissions and their addresses on the clipboard (the
// remote files' menu), and the keep-alive of an idle connection. Each is
// an action of its own; the window puts them on its menus.
#pragma once

#include <QObject>

#include <memory>

class QAction;
class QTabWidget;
class QTreeWidget;
class TBrowsingSession;
class TdfsSystemTreeView;
class TFileListView;
class TEditInPlace;
class TFolderCompare;
class TRemoteSearchDialog;
class TSyncBrowsing;
class TKeepAlive;
class TRemoteView;
class TTransferRunner;
class TTransfers;
class TWindowServices;

class TWorkdayTools : public QObject {
public:
    struct TParts {
        TBrowsingSession &Browsing;
        TRemoteView &RemoteView;
        TTransfers &Transfers;
        TTransferRunner &Runner;
    };
    struct TWidgets {
        TdfsSystemTreeView *LocalTree;
        QTreeWidget *RemoteFolders;
        TFileListView *RemoteFiles;
        // Its tab says when the filters hide local items.
        QTabWidget *LocalPage;
    };
    TWorkdayTools(TWindowServices &window, const TParts &parts, const TWidgets &widgets, QObject *parent);
    ~TWorkdayTools() override;

    TFolderCompare &Compare() { return *FCompare; }
    TKeepAlive &KeepAlive() { return *FKeepAlive; }
    TEditInPlace &Editing() { return *FEditing; }
    QAction *Edit() const;
    // Whether the window may close: edited copies not uploaded ask.
    bool MayClose();
    QAction *const Permissions;
    QAction *const CopyUrl;
    QAction *const UploadNewer;
    QAction *const DownloadNewer;
    QAction *const Filters;
    QAction *const Find;
    // The View menu's: the comparison's toggle and its kind, and the
    // binding of the two sides' folders.
    QList<QAction *> ViewItems() const;
    TSyncBrowsing &Sync() { return *FSync; }
    // The actions that need a connection.
    QList<QAction *> OnlineActions() const;

    // The chosen remote items' permissions, through the dialog.
    void ChangePermissions();
    // The chosen remote items' addresses, a line each.
    void CopyAddresses();
    // The files the comparison found newer on one side (or only there),
    // of the chosen ones where files are chosen, listed for the user's
    // word, then queued to the other side.
    void MoveNewer(bool upload);
    // The search window, below the remote folder shown.
    void FindFiles();
    TRemoteSearchDialog *Search() const { return FSearch; }
    // The filters dialog; what it changed is in force at once.
    void EditFilters();
    // Both sides shown anew through the filters in force.
    void FiltersChanged();

private:
    TWindowServices &FWindow;
    TParts P;
    TWidgets W;
    TFolderCompare *FCompare;
    TEditInPlace *FEditing;
    TSyncBrowsing *FSync;
    TRemoteSearchDialog *FSearch = nullptr;
    std::unique_ptr<TKeepAlive> FKeepAlive;
};
