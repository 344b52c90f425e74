// A remote file opened in place: downloaded into a private folder of this
// run, opened in the desktop's application for its type (or the editor
// the user chose), and watched. When the user saves it, Veldra asks to
// upload it back, and first warns when the server's copy changed since it
// was opened. The copies go when the window closes; one saved and not
// uploaded asks first.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <map>
#include <string>

class QAction;
class TRemoteSession;
class TRemoteView;
class TWindowServices;

class TEditInPlace : public QObject {
public:
    TEditInPlace(TWindowServices &window, TRemoteSession &session, TRemoteView &view, QObject *parent);

    QAction *const Edit;
    // The program a file opens in ("kate", "code --wait"); "" for the
    // desktop's application for its type.
    QString EditorCommand;

    // The file chosen in the remote list.
    void EditSelected();
    void Open(const std::string &folder, const std::string &name, int64_t size);
    // At the window's close: false when the user keeps the window for a
    // copy saved and not uploaded. The copies go with this object.
    bool MayClose();
    // The copies open now, by local path.
    size_t Copies() const { return FCopies.size(); }

    // How long a save settles before it is looked at (ms): editors write
    // in steps.
    static constexpr int SettleTime = 300;

private:
    struct TCopy {
        std::string Folder, Name;
        // The server's file when it was opened (or last uploaded).
        std::string ServerTime;
        int64_t ServerSize = -1;
        // The local file as last seen.
        int64_t Seconds = -1, Size = -1;
        bool Saved = false, Asking = false;
    };
    void Changed(const QString &path);
    void Check(const std::string &local);
    void Upload(const std::string &local, TCopy &copy);
    // Runs `call` in `folder` and comes back to the folder the views list.
    template <class F>
    void InFolder(const std::string &folder, F &&call);

    TWindowServices &FWindow;
    TRemoteSession &FSession;
    TRemoteView &FView;
    QTemporaryDir FDir;
    QFileSystemWatcher FWatcher;
    std::map<std::string, TCopy> FCopies;
    std::map<std::string, QTimer *> FSettling;
};
