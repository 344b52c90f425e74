// New folder, delete and rename on the server. Which item they act on
// follows the focus: the folder tree or the file list. A folder is deleted
// with all it holds, on the transfer queue's connection.
#pragma once

class TRemoteSession;
class TRemoteView;
class TTransferRunner;
class TWindowServices;

class TRemoteFileOperations {
public:
    TRemoteFileOperations(TWindowServices &window, TRemoteSession &session, TRemoteView &remoteView, TTransferRunner &runner)
        : FWindow(window), FSession(session), FRemoteView(remoteView), FRunner(runner)
    {
    }

    void NewFolder();
    void Delete();
    void Rename();

private:
    void ShowSelectMessage();
    void Refresh();

    TWindowServices &FWindow;
    TRemoteSession &FSession;
    TRemoteView &FRemoteView;
    TTransferRunner &FRunner;
};
