// New folder, delete and rename on the server. Which item they act on
// follows the focus: the folder tree or the file list.
#pragma once

class TIdFTP;
class TRemoteView;
class TWindowServices;

class TRemoteFileOperations {
public:
    TRemoteFileOperations(TWindowServices &window, TIdFTP &ftp, TRemoteView &remoteView)
        : FWindow(window), FFtp(ftp), FRemoteView(remoteView)
    {
    }

    void NewFolder();
    void Delete();
    void Rename();

private:
    void ShowSelectMessage();
    void Refresh();

    TWindowServices &FWindow;
    TIdFTP &FFtp;
    TRemoteView &FRemoteView;
};
