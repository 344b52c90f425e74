// The remote folder view: the folder box with its go button, the folder
// tree and the file list. It moves to a folder and fills them from its
// listing, takes the inputs that lead there, and keeps the file list's
// view style. It owns these widgets; others ask it what they show.
#pragma once

#include "FileListView.h"
#include "FolderListing.h"

#include <QObject>

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QAction;
class QKeyEvent;
class QLineEdit;
class QToolButton;
class QTreeWidget;
class TdfsSystemImageList;
class TRemoteSession;
class TWindowServices;

// A remote item as the views show it: its name's bytes and its caption
// (and for a folder, its permissions as listed, "" when not).
struct TRemoteItem {
    std::string Name;
    QString Caption;
    std::string Permissions{};
};

class TRemoteView : public QObject {
    Q_OBJECT
public:
    struct TWidgets {
        QLineEdit *FolderBox;
        QToolButton *Go;
        QTreeWidget *Folders;
        TFileListView *Files;
    };
    TRemoteView(TWindowServices &window, TRemoteSession &session, TdfsSystemImageList &icons, const TWidgets &widgets);

    // Moves to a remote folder (bytes as the server takes them).
    void ChangeFolder(const std::string &folder);
    // The first folder of a session: a start folder the server refuses is
    // logged, and the login folder is shown instead.
    void EnterStartFolder(const std::string &folder);
    // Chooses the listed folder of that name in the folder tree, with the
    // focus, when it is there.
    void ChooseFolder(const std::string &name);
    // Up to the parent folder (the Up a Folder action).
    void UpAFolder();
    // Into the folder chosen in the folder tree.
    void OpenChosenFolder() { FolderTreeActivated(); }
    // Empties the folder tree and the file list: the connection went.
    void Clear();
    // The folder box and its go button follow the connection.
    void SetOnline(bool online);
    // The user ends the session: a listing it cuts short is no failure.
    void DisconnectRequested() { FDisconnectRequested = true; }

    // The folder box's text, and its bytes: those the server reported when
    // the text is still what it showed, else the text as UTF-8.
    QString FolderText() const;
    void SetFolderText(const QString &text);
    std::string CurrentDirBytes() const;
    // The folder the views list, as the server named it.
    const std::string &ListedFolder() const { return FCurrentDirRaw; }
    // Lists the folder anew (F5), unless the connection is in the middle
    // of a command or gone: then false, and nothing happens.
    bool RefreshIfFree();

    // How many entries the last listing showed.
    size_t ListedEntries() const { return FListedEntries; }
    // What a listing may hold before it is cut short.
    TFolderListingLimits ListingLimits;
    // Whether the views list the folder the server is in now.
    bool ListingCurrent() const { return FListingCurrent; }
    // The files that listing names (an upload asks before it replaces one),
    // gathered from the list when first asked: most listings are never.
    const std::unordered_set<std::string> &ListedFiles() const;
    // The server moved to another folder; the views still show this one.
    void ListingLeft() { FListingCurrent = false; }

    // The selected files, in list order.
    std::vector<TRemoteItem> SelectedFiles() const;
    // Where the keyboard focus is, for the operations that follow it.
    enum class TFocus { Folders, Files, Elsewhere };
    TFocus Focus() const;
    std::optional<TRemoteItem> SelectedFolder() const;
    // A drag that comes from the file list.
    bool IsFileList(const QObject *source) const;
    // A drag that comes from the folder tree.
    bool IsFolderTree(const QObject *source) const;

    TViewStyle ViewStyle() const;
    void SetViewStyle(TViewStyle style);
    // The details style's column widths and sort, as the settings keep them.
    QString DetailsState() const;
    void SetDetailsState(const QString &state);
    // The radio items of the "View Style" menu.
    QList<QAction *> ViewStyleItems() const { return FStyleItems; }

    // Hears each entry of a listing as it arrives, when set (the folder
    // comparison keeps what the views do not).
    std::function<void(const TListingEntry &entry)> OnEntry;
    // Whether the filename filters hide an entry, when set; how many the
    // last listing hid.
    std::function<bool(const TListingEntry &entry)> Hides;
    size_t Hidden() const { return FHidden; }

signals:
    // A listing begins, and it is shown (or the views were emptied).
    void ListingStarted();
    void Listed();
    // A file was double-clicked or Enter pressed on it.
    void FileActivated();
    // Backspace in a view.
    void UpRequested();
    // F2 in a view.
    void RenameRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Reads the folder's listing as it arrives, and shows it.
    void FillViews();
    struct TFolderRow {
        std::string Name, Permissions;
    };
    TFolderListing ReadListing(TRemoteItemModel::TRows &rows, std::vector<TFolderRow> &folders);
    static constexpr int BigFolder = 100'000;
    void GoClicked();
    void FolderTreeActivated();
    // Keys both views share; true when taken.
    bool ViewKeyPress(QKeyEvent *key, bool tree);

    TWindowServices &FWindow;
    TRemoteSession &FSession;
    TdfsSystemImageList &FIcons;
    TWidgets W;
    QList<QAction *> FStyleItems;
    std::string FCurrentDirRaw;
    size_t FListedEntries = 0, FHidden = 0;
    mutable std::unordered_set<std::string> FListedFiles;
    mutable bool FListedGathered = false;
    bool FListingCurrent = false;
    // The last ChangeFolder failed at the change itself, not the listing.
    bool FEnterRefused = false;
    bool FDisconnectRequested = false;
};
