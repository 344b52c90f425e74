// New folder, delete and rename on the server. Which item they act on
// follows the focus: the folder tree or the file list.
#pragma once

#include <string>

class QString;
class TfrmMain;

class TRemoteFileOperations {
public:
    explicit TRemoteFileOperations(TfrmMain &form) : F(form) {}

    void NewFolder();
    void Delete();
    void Rename();

private:
    void ShowSelectMessage();
    void Refresh();

    TfrmMain &F;
};
