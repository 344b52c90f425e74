// The remote folder view's steps: move to a folder and fill the folder
// box, the folder tree and the file list from its listing; the inputs that
// lead there; the file list's view style.
#pragma once

#include "FileListView.h"

#include <string>

class QKeyEvent;
class TfrmMain;

class TRemoteView {
public:
    explicit TRemoteView(TfrmMain &form) : F(form) {}

    // Moves to a remote folder (bytes as the server takes them).
    void ChangeFolder(const std::string &folder);
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

private:
    void FillViews();

    TfrmMain &F;
    std::string FCurrentDirRaw;
};
