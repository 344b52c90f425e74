// A remote file opened in place: downloaded into a private folder of this
// run (made when first needed), opened in the desktop's application for
// its type (or the editor the user chose), and watched. When the user
// saves it, Veldra asks to upload it back, and first warns when the
// server's copy changed since it was opened. It moves as the queue moves
// files: text types as text, the times kept where the settings say. The
// copies and their folder go when the window closes; one saved and not
// uploaded asks first.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class TRemoteSession;
class TRemoteView;
class TWindowServices;

class TEditInPlace : public QObject {
public:
    // `moves`: whether a file of that name moves as text, and whether the
    // times are kept, as the queue's settings say now.
    struct TMoves {
        std::function<bool(const std::string &name)> AsText;
        std::function<bool()> KeepTimes;
    };
    TEditInPlace(TWindowServices &window, TRemoteSession &session, TRemoteView &view, TMoves moves, QObject *parent);

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
    // Where they are, "" before the first.
    QString Folder() const;

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
    bool AsText(const std::string &name) const;
    // A copy is moved whole: nothing stops it half way.
    const std::atomic<bool> FNeverStop{false};

    TWindowServices &FWindow;
    TRemoteSession &FSession;
    TRemoteView &FView;
    TMoves FMoves;
    std::unique_ptr<QTemporaryDir> FDir;
    QFileSystemWatcher FWatcher;
    std::map<std::string, TCopy> FCopies;
    std::map<std::string, QTimer *> FSettling;
};
