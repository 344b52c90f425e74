// The remote folder view's steps: move to a folder and fill the folder
// box, the folder tree and the file list from its listing; the inputs that
// lead there; the file list's view style.
#pragma once

#include "FileListView.h"

#include <string>
#include <unordered_set>

class QKeyEvent;
class TfrmMain;

class TRemoteView {
public:
    explicit TRemoteView(TfrmMain &form) : F(form) {}

    // Moves to a remote folder (bytes as the server takes them).
    void ChangeFolder(const std::string &folder);
    // The first folder of a session: a start folder the server refuses is
    // logged, and the login folder is shown instead.
    void EnterStartFolder(const std::string &folder);
    // The bytes of the folder box's text: those the server reported when
    // the text is still what it showed, else the text as UTF-8.
    std::string CurrentDirBytes() const;

    bool FolderBoxKeyPress(QKeyEvent *key);
    void GoClicked();
    void FolderTreeDoubleClicked();
    bool FolderTreeKeyPress(QKeyEvent *key);
    void FileListDoubleClicked();
    bool FileListKeyPress(QKeyEvent *key);
    void UpAFolder();
    void SetViewStyle(TViewStyle style);
    // Empties the folder tree and the file list: the connection went.
    void Clear();

    // Whether the views list the folder the server is in now, and whether
    // that listing names a file; an upload asks before it replaces one.
    bool ListingCurrent() const { return FListingCurrent; }
    bool ListsFile(const std::string &name) const { return FListedFiles.count(name) > 0; }
    // A file arrived in the listed folder.
    void NoteFile(const std::string &name) { FListedFiles.insert(name); }
    // The server moved to another folder; the views still show this one.
    void ListingLeft() { FListingCurrent = false; }

private:
    void FillViews();
    // Keys both views share.
    bool ViewKeyPress(QKeyEvent *key);

    TfrmMain &F;
    std::string FCurrentDirRaw;
    std::unordered_set<std::string> FListedFiles;
    bool FListingCurrent = false;
    // The last ChangeFolder failed at the change itself, not the listing.
    bool FEnterRefused = false;
};
